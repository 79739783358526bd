# Sourced by the shell tests that need a statement running for seconds:
# prints the statements making tables A and B of 3,000 rows each, whose
# join on non-key columns (long_select) takes seconds to run.
long_join_tables() {
  echo "CREATE TABLE A (K INTEGER, V INTEGER);"
  echo "CREATE TABLE B (K INTEGER, V INTEGER);"
  echo ".begin"
  for i in $(seq 1 3000); do
    echo "INSERT INTO A VALUES ($i, $((i % 97)));"
    echo "INSERT INTO B VALUES ($i, $((i % 89)));"
  done
  echo ".commit"
}
# shellcheck disable=SC2034  # used by the scripts that source this one
long_select='SELECT A.K FROM A, B WHERE A.V <> B.V AND A.K = B.K'
