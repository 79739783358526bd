// ParseNode tests: linking, editing, the walks and searches, slash lists,
// and destruction of long chains and deep nesting at constant stack depth.
#include "sql/parse_node.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sql/rule_codes.h"
#include "sql/token_codes.h"

namespace zksql {
namespace {

// Counts destructions and records how far apart on the stack they ran, so
// that a test can tell an iterative destruction (all at one depth) from a
// recursive one (one frame deeper per node).
struct Probe {
  int destroyed = 0;
  uintptr_t lowest = UINTPTR_MAX;
  uintptr_t highest = 0;
  void Record() {
    uintptr_t frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (frame < lowest) lowest = frame;
    if (frame > highest) highest = frame;
  }
  uintptr_t Spread() const { return highest >= lowest ? highest - lowest : 0; }
};

class CountedNode : public ParseNode {
 public:
  CountedNode(const char* text, int32_t code, Probe* probe) : ParseNode(text, code, 0), probe_(probe) {}
  ~CountedNode() override {
    ++probe_->destroyed;
    probe_->Record();
  }

 private:
  Probe* probe_;
};

// The texts of a sibling chain, joined by spaces.
std::string Chain(const ParseNode* node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    if (!out.empty()) out += " ";
    out += node->text;
  }
  return out;
}

// Far less than what 100,000 nested calls take, far more than a few frames.
constexpr uintptr_t kFlatStack = 64 * 1024;

TEST(ParseNodeTest, ConstructionCopiesTheText) {
  char source[] = "NAME";
  ParseNode node(source, LEX_IDENTIFICATEUR, 7);
  ASSERT_NE(node.text, nullptr);
  EXPECT_NE(node.text, source);
  source[0] = 'X';
  EXPECT_STREQ(node.text, "NAME");
  EXPECT_EQ(node.code, LEX_IDENTIFICATEUR);
  EXPECT_EQ(node.value, 7);
  EXPECT_EQ(node.child, nullptr);
  EXPECT_EQ(node.next, nullptr);

  ParseNode rule(nullptr, FON_REQUETE, 0);
  EXPECT_STREQ(rule.text, "");

  ParseNode* a = ParseNode::Create("A", 1, 0);
  ParseNode* b = ParseNode::Create("B", 2, 0);
  ParseNode* front = ParseNode::Create("F", 3, 0, a, b);
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(front->child, a);
  EXPECT_EQ(front->next, b);
  delete front;
}

TEST(ParseNodeTest, DestroyingReleasesSubtreeAndFollowingSiblings) {
  Probe probe;
  CountedNode* first = new CountedNode("N", 1, &probe);
  first->AddChild(new CountedNode("C", 2, &probe), 0);
  for (int i = 0; i < 5; ++i) first->AppendSibling(new CountedNode("S", 3, &probe), 0);
  delete first;
  EXPECT_EQ(probe.destroyed, 7);
}

TEST(ParseNodeTest, ADetachedNodeGoesAlone) {
  Probe probe;
  ParseNode* a = new CountedNode("A", 1, &probe);
  ParseNode* b = a->AppendSibling(new CountedNode("B", 1, &probe), 0);
  a->AppendSibling(new CountedNode("C", 1, &probe), 0);
  a->next = b->next;
  b->next = nullptr;
  delete b;
  EXPECT_EQ(probe.destroyed, 1);
  EXPECT_EQ(Chain(a), "A C");
  delete a;
  EXPECT_EQ(probe.destroyed, 3);
}

TEST(ParseNodeTest, AddChildAppendsOrInsertsAfterTheFirst) {
  ParseNode parent("P", FON_ITEM_SIMPLE, 0);
  EXPECT_EQ(parent.AddChild(nullptr, 0), nullptr);
  ParseNode* a = parent.AddNewChild("A", 1, 0, 1);  // the first child, whatever atFront says
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(parent.child, a);
  parent.AddNewChild("B", 1, 0, 0);
  ParseNode* inserted = parent.AddNewChild("NEW", 1, 5, 1);
  ASSERT_NE(inserted, nullptr);
  EXPECT_EQ(inserted->value, 5);
  EXPECT_EQ(Chain(parent.child), "A NEW B");
  parent.AddNewChild("LAST", 1, 0, 0);
  EXPECT_EQ(Chain(parent.child), "A NEW B LAST");
}

TEST(ParseNodeTest, LinkingKeepsTheAddedNodesOwnChain) {
  // Inserting a node that already has siblings must not drop them.
  ParseNode parent("P", 0, 0);
  parent.AddNewChild("A", 1, 0, 0);
  parent.AddNewChild("B", 1, 0, 0);
  ParseNode* x = ParseNode::Create("X", 1, 0);
  x->AppendNewSibling("Y", 1, 0, 0);
  parent.AddChild(x, 1);
  EXPECT_EQ(Chain(parent.child), "A X Y B");

  ParseNode first("F", 0, 0);
  first.AppendNewSibling("G", 0, 0, 0);
  ParseNode* u = ParseNode::Create("U", 1, 0);
  u->AppendNewSibling("V", 1, 0, 0);
  first.AppendSibling(u, 1);
  EXPECT_EQ(Chain(&first), "F U V G");
}

TEST(ParseNodeTest, AppendSiblingAtTheEndOrRightAfter) {
  ParseNode first("A", 0, 0);
  EXPECT_EQ(first.AppendSibling(nullptr, 0), nullptr);
  ParseNode* b = first.AppendNewSibling("B", 0, 0, 0);
  first.AppendNewSibling("C", 0, 0, 0);
  EXPECT_EQ(Chain(&first), "A B C");
  first.AppendNewSibling("AFTER_A", 0, 0, 1);
  EXPECT_EQ(Chain(&first), "A AFTER_A B C");
  b->AppendNewSibling("AFTER_B", 0, 0, 1);
  EXPECT_EQ(Chain(&first), "A AFTER_A B AFTER_B C");
  // Appending from a middle node still goes to the end of the chain.
  b->AppendSibling(ParseNode::Create("END", 0, 0), 0);
  EXPECT_EQ(Chain(&first), "A AFTER_A B AFTER_B C END");
  EXPECT_STREQ(first.LastSibling()->text, "END");
}

TEST(ParseNodeTest, SetTextReusesALargeEnoughBuffer) {
  ParseNode node("LONGTEXT", 1, 0);
  char* buffer = node.text;
  EXPECT_TRUE(node.SetText(node.text));
  EXPECT_EQ(node.text, buffer);
  EXPECT_STREQ(node.text, "LONGTEXT");

  EXPECT_TRUE(node.SetText("SHORT"));
  EXPECT_EQ(node.text, buffer);
  EXPECT_STREQ(node.text, "SHORT");

  // A part of its own text.
  EXPECT_TRUE(node.SetText(node.text + 2));
  EXPECT_STREQ(node.text, "ORT");

  EXPECT_TRUE(node.SetText("A MUCH LONGER TEXT THAN BEFORE"));
  EXPECT_STREQ(node.text, "A MUCH LONGER TEXT THAN BEFORE");

  EXPECT_TRUE(node.SetTextAndCode("=", LEX_EGAL));
  EXPECT_STREQ(node.text, "=");
  EXPECT_EQ(node.code, LEX_EGAL);
  EXPECT_TRUE(node.SetText(nullptr));
  EXPECT_STREQ(node.text, "");
}

TEST(ParseNodeTest, FindByTextLooksForwardAlongTheChainOnly) {
  ParseNode first("A", 0, 0);
  ParseNode* second = first.AppendNewSibling("B", 0, 0, 0);
  ParseNode* third = first.AppendNewSibling("A", 0, 0, 0);
  first.AddNewChild("C", 0, 0, 0);
  EXPECT_EQ(first.FindByText("A"), &first);
  EXPECT_EQ(second->FindByText("A"), third);
  EXPECT_EQ(third->FindByText("B"), nullptr);
  EXPECT_EQ(first.FindByText("C"), nullptr);  // children are not searched
  EXPECT_EQ(first.FindByText("a"), nullptr);  // exact comparison
  EXPECT_EQ(first.FindByText(nullptr), nullptr);
}

// The tree of «SELECT A, B FROM T;».
ParseNode* SelectABFromT() {
  ParseNode* root = ParseNode::Create("", FON_REQUETE, 0);
  ParseNode* sub = root->AddNewChild("", FON_REQUETE_SELECTION, 0, 0)
                       ->AddNewChild("", FON_SOUS_SELECT, 0, 0);
  ParseNode* list = sub->AddNewChild("", FON_ITEM_SELECTIONNE, 0, 0)
                        ->AddNewChild("", FON_SELECTION_ITEM_VIRGULE_LISTE, 0, 0);
  list->AddNewChild("", FON_SELECTION_ITEM, 0, 0)
      ->AddNewChild("", FON_ITEM_SIMPLE, 0, 0)
      ->AddNewChild("A", LEX_IDENTIFICATEUR, 0, 0);
  list->AddNewChild("", FON_SELECTION_ITEM, 0, 0)
      ->AddNewChild("", FON_ITEM_SIMPLE, 0, 0)
      ->AddNewChild("B", LEX_IDENTIFICATEUR, 2, 0);
  sub->AddNewChild("", FON_TABLE_REF_VIRGULE_LISTE, 0, 0)
      ->AddNewChild("", FON_TABLE_REF, 0, 0)
      ->AddNewChild("T", LEX_IDENTIFICATEUR, 0, 0);
  return root;
}

int16_t Record(ParseNode* node, void* user) {
  std::string* out = static_cast<std::string*>(user);
  *out += node->text[0] != '\0' ? std::string(node->text) : std::to_string(node->code);
  *out += " ";
  return 1;
}

int16_t StopAtB(ParseNode* node, void* user) {
  Record(node, user);
  return strcmp(node->text, "B") != 0;
}

TEST(ParseNodeTest, VisitWalksInPreOrderAndStops) {
  ParseNode* root = SelectABFromT();
  std::string order;
  EXPECT_EQ(root->Visit(Record, &order), 1);
  EXPECT_EQ(order, "-27 -26 -24 -25 -9 -10 -1 A -10 -1 B -6 -8 T ");
  order.clear();
  EXPECT_EQ(root->Visit(StopAtB, &order), 0);
  EXPECT_EQ(order, "-27 -26 -24 -25 -9 -10 -1 A -10 -1 B ");
  EXPECT_EQ(root->Visit(nullptr, nullptr), 0);
  delete root;
}

TEST(ParseNodeTest, FindNthByCodeFollowsVisitOrder) {
  ParseNode* root = SelectABFromT();
  ParseNode* b = root->FindNthByCode(LEX_IDENTIFICATEUR, 2);
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->text, "B");
  ParseNode* t = root->FindNthByCode(LEX_IDENTIFICATEUR, 3);
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(t->text, "T");
  EXPECT_EQ(root->FindNthByCode(LEX_IDENTIFICATEUR, 4), nullptr);
  EXPECT_EQ(root->FindNthByCode(LEX_IDENTIFICATEUR, 0), nullptr);
  EXPECT_EQ(root->FindNthByCode(FON_SELECTION_ITEM, 2)->child->child, b);
  delete root;
}

TEST(ParseNodeTest, SlashListOperations) {
  ParseNode node("", 302, 0);
  EXPECT_TRUE(node.AddPathElement("T1"));
  EXPECT_STREQ(node.text, "T1");
  EXPECT_TRUE(node.AddPathElement("T2"));
  EXPECT_STREQ(node.text, "T1/T2");
  EXPECT_TRUE(node.AddPathElement("T1"));
  EXPECT_TRUE(node.AddPathElement("T2"));
  EXPECT_STREQ(node.text, "T1/T2");
  EXPECT_TRUE(node.AddPathElement("T"));  // a prefix of an element is another name
  EXPECT_STREQ(node.text, "T1/T2/T");
  EXPECT_TRUE(node.AddPathElement(""));  // nothing to add
  EXPECT_STREQ(node.text, "T1/T2/T");

  char* element = node.GetPathElement(1);
  EXPECT_STREQ(element, "T2");
  free(element);
  element = node.GetPathElement(0);
  EXPECT_STREQ(element, "T1");
  free(element);
  EXPECT_EQ(node.GetPathElement(3), nullptr);
  EXPECT_EQ(node.GetPathElement(-1), nullptr);

  EXPECT_EQ(node.HasPathElement("T2"), 1);
  EXPECT_EQ(node.HasPathElement("T"), 1);
  EXPECT_EQ(node.HasPathElement("T3"), 0);
  EXPECT_EQ(node.HasPathElement("T1/T2"), 0);
  EXPECT_EQ(node.HasPathElement(nullptr), 0);
}

TEST(ParseNodeTest, SlashListEmptyElements) {
  ParseNode node("A//B", 0, 0);
  EXPECT_EQ(node.GetPathElement(1), nullptr);  // empty element
  char* element = node.GetPathElement(2);
  EXPECT_STREQ(element, "B");
  free(element);
  // The scan of HasPathElement ends at the first empty element.
  EXPECT_EQ(node.HasPathElement("A"), 1);
  EXPECT_EQ(node.HasPathElement("B"), 0);
  ParseNode empty("", 0, 0);
  EXPECT_EQ(empty.HasPathElement(""), 0);
  EXPECT_EQ(empty.GetPathElement(0), nullptr);
}

TEST(ParseNodeTest, SlashListComparesLongElementsWhole) {
  // Two names that share their first 127 characters are different names.
  std::string common(127, 'N');
  std::string longer = common + "X";
  ParseNode node(longer.c_str(), 0, 0);
  EXPECT_EQ(node.HasPathElement(common.c_str()), 0);
  EXPECT_TRUE(node.AddPathElement(common.c_str()));
  EXPECT_EQ(std::string(node.text), longer + "/" + common);
  EXPECT_TRUE(node.AddPathElement(longer.c_str()));
  EXPECT_EQ(std::string(node.text), longer + "/" + common);
  char* element = node.GetPathElement(0);
  EXPECT_EQ(std::string(element), longer);
  free(element);
}

TEST(ParseNodeTest, LongSiblingChainIsDestroyedWithoutStackGrowth) {
  constexpr int kCount = 100000;
  Probe probe;
  ParseNode* first = new CountedNode("I", LEX_IDENTIFICATEUR, &probe);
  ParseNode* tail = first;
  for (int i = 1; i < kCount; ++i) tail = tail->AppendSibling(new CountedNode("I", 302, &probe), 1);
  EXPECT_EQ(first->FindNthByCode(302, kCount), tail);
  delete first;
  EXPECT_EQ(probe.destroyed, kCount);
  EXPECT_LT(probe.Spread(), kFlatStack);
}

TEST(ParseNodeTest, DeepNestingIsWalkedAndDestroyedWithoutStackGrowth) {
  constexpr int kDepth = 100000;
  Probe probe;
  ParseNode* root = new CountedNode("", FON_FACTEUR, &probe);
  ParseNode* deepest = root;
  for (int i = 1; i < kDepth; ++i) {
    deepest = deepest->AddChild(new CountedNode("", FON_FACTEUR, &probe), 0);
    // A sibling at every level, so the walk has to come back up each time.
    deepest->AppendSibling(new CountedNode("S", LEX_VIRGULE, &probe), 0);
  }

  Probe walk;
  auto countAndRecord = [](ParseNode*, void* user) -> int16_t {
    static_cast<Probe*>(user)->destroyed++;
    static_cast<Probe*>(user)->Record();
    return 1;
  };
  EXPECT_EQ(root->Visit(countAndRecord, &walk), 1);
  EXPECT_EQ(walk.destroyed, 2 * kDepth - 1);
  EXPECT_LT(walk.Spread(), kFlatStack);
  EXPECT_EQ(root->FindNthByCode(FON_FACTEUR, kDepth), deepest);
  EXPECT_EQ(root->FindNthByCode(LEX_VIRGULE, kDepth - 1)->value, 0);

  delete root;
  EXPECT_EQ(probe.destroyed, 2 * kDepth - 1);
  EXPECT_LT(probe.Spread(), kFlatStack);
}

TEST(ParseNodeTest, BushyTreeIsDestroyedWhole) {
  // Children and siblings mixed at every level: nothing is lost or freed twice.
  Probe probe;
  ParseNode* root = new CountedNode("R", 0, &probe);
  int made = 1;
  for (int i = 0; i < 10; ++i) {
    ParseNode* branch = root->AddChild(new CountedNode("B", 1, &probe), i % 2);
    ++made;
    for (int j = 0; j < 10; ++j) {
      ParseNode* leaf = branch->AddChild(new CountedNode("L", 2, &probe), 0);
      leaf->AddChild(new CountedNode("X", 3, &probe), 0);
      leaf->AppendSibling(new CountedNode("Y", 3, &probe), 1);
      made += 3;
    }
  }
  root->AppendSibling(new CountedNode("Z", 4, &probe), 0);
  ++made;
  delete root;
  EXPECT_EQ(probe.destroyed, made);
}

}  // namespace
}  // namespace zksql
