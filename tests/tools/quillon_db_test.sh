#!/usr/bin/env bash
# Runs the built quillon-db tool on generated files:
#   - `import` and `export-servers`: exit status, messages, the backup, the round trip;
#   - `export` (and `sql` SELECT) match mdb-export byte for byte on every column type and on awkward texts;
#   - `template` writes a sound file with the program's two tables and the config row;
#   - `sql` changes rows, reports how many, and leaves the file untouched when a statement is refused;
#   - `tables`, `schema` and `check` report what the file holds; errors are one line on stderr.
#
#   quillon_db_test.sh QUILLON_DB MAKE_TOOL_SAMPLES WORKDIR
set -uo pipefail

if [ $# -ne 3 ]; then
    echo "usage: quillon_db_test.sh QUILLON_DB MAKE_TOOL_SAMPLES WORKDIR" >&2
    exit 2
fi
qdb=$(realpath "$1")
make_samples=$(realpath "$2")
work=$(realpath -m "$3")
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
reference="$here/../../../shared/reference/jet4-engine-made-empty.mdb"

for program in "$qdb" "$make_samples"; do
    [ -x "$program" ] || { echo "FAIL: $program has not been built" >&2; exit 1; }
done
for tool in mdb-export mdb-tables; do
    command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is not installed (run scripts/setup.sh)" >&2; exit 1; }
done

rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok    $*"; }
fail() { failed=$((failed + 1)); echo "FAIL  $*"; }
skip() { echo "skip  $*"; }
# expect NAME COMMAND...: the command succeeds.
expect() { local name=$1; shift; if "$@"; then pass "$name"; else fail "$name"; fi; }

# Exports TABLE of FILE with both tools and compares the bytes.
same_as_mdb_export() {
    local file=$1 table=$2
    if ! "$qdb" export "$file" "$table" >ours.csv 2>ours.err; then
        fail "export $file $table: $(cat ours.err)"
        return
    fi
    mdb-export "$file" "$table" >theirs.csv 2>theirs.err || { fail "mdb-export $file $table: $(cat theirs.err)"; return; }
    if cmp -s ours.csv theirs.csv; then
        pass "export $file $table matches mdb-export ($(wc -l <theirs.csv) lines)"
    else
        fail "export $file $table differs from mdb-export (left: quillon-db, right: mdb-export)"
        diff -u ours.csv theirs.csv | head -n 20 | sed 's/^/      /'
    fi
}

# ---- every column type and awkward texts, against mdb-export
expect "sample files written" "$make_samples" "$work"
same_as_mdb_export types.mdb Types
same_as_mdb_export texts.mdb Texts
if [ -f "$reference" ]; then
    # A file written by the Jet engine itself: its system tables hold dates, binary and memo columns.
    for table in MSysObjects MSysACEs; do same_as_mdb_export "$reference" "$table"; done
else
    skip "export of the Jet-made file: no Jet-made reference here: $reference"
fi

# A few lines written out by hand from the CSV rules, so that a fault shared with mdb-export still shows.
expect "export: a tab and commas inside quotes" grep -qxF '5,"a, b, c","a, b, c | tab	here","a, b, c"' <("$qdb" export texts.mdb Texts)
expect "export: quotes doubled" \
    grep -qxF '2,"say ""hello""","say ""hello"" | a, b, c","say ""hello"""' <("$qdb" export texts.mdb Texts)
expect "export: a line break inside a value stays raw" \
    grep -qxF 'line two | 我的服务器","line one' <("$qdb" export texts.mdb Texts)
expect "export: Chinese text in UTF-8, one ? per half of a surrogate pair" \
    grep -qxF '9,"我的服务器","我的服务器 | emoji ?? end","我的服务器"' <("$qdb" export texts.mdb Texts)
expect "export: empty text and null both print nothing" \
    grep -qxF '17,,,' <("$qdb" export texts.mdb Texts)
expect "export: header of column names" \
    grep -qxF 'id,flag,small,medium,large,money,single,double,when,raw,label,blob,long text,guid' \
    <("$qdb" export types.mdb Types)
expect "export: numbers bare, texts and dates quoted" \
    grep -qxF '1,1,255,32767,2147483647,12345.6789,0.1,3.141592653589793,"12/01/26 12:00:00","A""B","plain","'$'\x01\x02\x03''","memo","{31211101-5141-7161-8191A1B1C1D1E1F1}"' \
    <("$qdb" export types.mdb Types)

# ---- the configuration template
expect "template written" "$qdb" template config.mdb
expect "template: check finds nothing" test "$("$qdb" check config.mdb)" = "ok"
expect "template: tables" test "$("$qdb" tables config.mdb)" = $'Server\nconfig'
expect "template: mdb-tables agrees" test "$(mdb-tables -1 config.mdb)" = $'Server\nconfig'
same_as_mdb_export config.mdb Server
same_as_mdb_export config.mdb config
expect "template: the config row" \
    grep -q '^"1","640","480","1121","1","0","3","1","1","2","3",' <("$qdb" export config.mdb config)
expect "schema: column types and sizes" \
    grep -qE '^  note +Text +255 characters' <("$qdb" schema config.mdb Server)
expect "schema: the AutoNumber id" grep -qE '^  id +Long +4 bytes +AutoNumber' <("$qdb" schema config.mdb Server)
if [ -f "$reference" ]; then
    expect "schema: indexes with their columns and flags" \
        grep -qxF '  ParentIdName: ParentId, Name  (unique)' <("$qdb" schema "$reference" MSysObjects)
else
    skip "schema of the Jet-made file: no Jet-made reference here: $reference"
fi

# ---- statements
cp config.mdb servers.mdb
expect "sql: insert prints 1" test "$("$qdb" sql servers.mdb "insert into Server (ip, port, note) values ('1.2.3.4', '3389', 'say \"hi\", it''s ok')")" = 1
expect "sql: insert with Chinese and a line break" test "$("$qdb" sql servers.mdb "INSERT INTO [Server] (ip, port, note) VALUES ('1.2.3.4', '3390', '我的服务器
第二行')")" = 1
expect "sql: insert a third" test "$("$qdb" sql servers.mdb "insert into Server (ip, port) values ('5.6.7.8', '')")" = 1
same_as_mdb_export servers.mdb Server
expect "sql: values written exactly" test "$("$qdb" export servers.mdb Server)" = 'id,ip,port,user,password,note,dqsj
1,"1.2.3.4","3389",,,"say ""hi"", it'"'"'s ok",
2,"1.2.3.4","3390",,,"我的服务器
第二行",
3,"5.6.7.8",,,,,'
expect "sql: select prints the matching rows as CSV" test "$("$qdb" sql servers.mdb "select * from Server where IP='1.2.3.4 ' and port='3390'")" = 'id,ip,port,user,password,note,dqsj
2,"1.2.3.4","3390",,,"我的服务器
第二行",'
expect "sql: update prints the rows changed" test "$("$qdb" sql servers.mdb "update Server set user='admin' where ip='1.2.3.4'")" = 2
expect "sql: update that matches nothing" test "$("$qdb" sql servers.mdb "update Server set user='x' where ip='9.9.9.9'")" = 0
cp servers.mdb before.mdb
"$qdb" sql servers.mdb "update Server set port='12345678901' where ip='1.2.3.4'" >out.txt 2>err.txt
status=$?
expect "sql: too long a value is refused" test "$status" -ne 0
expect "sql: the message names the file, the column and its size" \
    grep -qE '^quillon-db: servers\.mdb: .*"port".*at most 10' err.txt
expect "sql: a refused statement leaves the file byte-identical" cmp -s before.mdb servers.mdb
"$qdb" sql servers.mdb "delete from Server where ip='1.2.3.4' or ip='5.6.7.8'" >out.txt 2>err.txt
expect "sql: OR is refused" test $? -ne 0 -a "$(wc -l <err.txt)" -eq 1
expect "sql: the refused OR left the file alone" cmp -s before.mdb servers.mdb
expect "sql: delete prints the rows removed" test "$("$qdb" sql servers.mdb "delete from Server where ip='1.2.3.4' and port= '3389'")" = 1
expect "sql: check after the changes" test "$("$qdb" check servers.mdb)" = "ok"
same_as_mdb_export servers.mdb Server

# ---- import and export-servers: exit status, the refused lines on stderr, the backup, the round trip
"$qdb" template import.mdb
printf 'ip,port,user,password,note\n10.0.0.1,3389,admin,pw,"a, b"\n10.0.0.2,70000,u,p,n\n' >servers.csv
"$qdb" import import.mdb servers.csv >out.txt 2>err.txt
expect "import: exit 3 when a server is refused" test $? -eq 3
expect "import: the refused line on stderr" grep -qF '第 3 行: 拒绝: 端口“70000”不是 1 到 65535 之间的数' err.txt
expect "import: the counts" grep -qxF '添加 1，更新 0，跳过 0，拒绝 1' out.txt
expect "import: a backup beside the file" test "$(ls 备份/import-*.mdb | wc -l)" -eq 1
expect "export-servers" "$qdb" export-servers import.mdb exported.csv --with-passwords
expect "import: the export read back is all skipped, exit 0" "$qdb" import import.mdb exported.csv
cp import.mdb before.mdb
"$qdb" import import.mdb missing.csv >out.txt 2>err.txt
expect "import: exit 1 and nothing written when the source cannot be read" test $? -eq 1 -a -s err.txt
expect "import: the file is left alone" cmp -s before.mdb import.mdb

# ---- errors and usage
"$qdb" export missing.mdb Server >out.txt 2>err.txt
status=$?
expect "missing file: non-zero exit" test "$status" -ne 0
expect "missing file: one line naming it" test "$(wc -l <err.txt)" -eq 1 -a "$(grep -c '^quillon-db: missing.mdb: ' err.txt)" -eq 1
"$qdb" export config.mdb Nothing >out.txt 2>err.txt
expect "unknown table" grep -qxF 'quillon-db: config.mdb: no table named "Nothing"' err.txt
printf 'not a database at all\n' >text.mdb
"$qdb" check text.mdb >out.txt 2>err.txt
expect "not a database: check fails with a message" test $? -ne 0 -a -s err.txt
head -c 40000 config.mdb >short.mdb
"$qdb" tables short.mdb >out.txt 2>err.txt
expect "truncated file: refused" test $? -ne 0 -a -s err.txt
"$qdb" >out.txt 2>err.txt
expect "no arguments: usage and exit 2" test $? -eq 2 -a "$(grep -c '^usage:' err.txt)" -eq 1
"$qdb" export config.mdb >out.txt 2>err.txt
expect "missing argument: usage and exit 2" test $? -eq 2 -a -s err.txt
"$qdb" frobnicate config.mdb >out.txt 2>err.txt
expect "unknown command: usage and exit 2" test $? -eq 2 -a -s err.txt

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
