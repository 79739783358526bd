// The registry is a set of addresses; the entry points hold the driver's
// lock while they look a handle up and use it.
#include "handles.h"

namespace zkodbc {
namespace {

std::set<Handle*>& Live() {
  static std::set<Handle*>* live = new std::set<Handle*>();
  return *live;
}

}  // namespace

Statement::Statement(Connection* c) : Handle(SQL_HANDLE_STMT), conn(c) {
  appRow.reset(new Descriptor(this));
  appParam.reset(new Descriptor(this));
  impRow.reset(new Descriptor(this));
  impParam.reset(new Descriptor(this));
  for (Descriptor* d : {appRow.get(), appParam.get(), impRow.get(), impParam.get()}) Register(d);
}

Statement::~Statement() {
  for (Descriptor* d : {appRow.get(), appParam.get(), impRow.get(), impParam.get()}) {
    Unregister(d);
  }
}

void Register(Handle* handle) {
  Live().insert(handle);
}

void Unregister(Handle* handle) {
  Live().erase(handle);
}

Handle* Lookup(SQLHANDLE handle, SQLSMALLINT type) {
  Handle* h = static_cast<Handle*>(handle);
  if (h == nullptr || Live().count(h) == 0 || h->type != type) return nullptr;
  return h;
}

}  // namespace zkodbc
