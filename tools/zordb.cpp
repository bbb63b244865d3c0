// zordb: shows what a project database file holds.
//
//   zordb --database="/data/survey.zdb"        the block and history dump
//   zordb                                     the dump of the built-in sample
//   zordb --mode="make-sample" --database="out.zdb"   writes the sample file
//   zordb --help                              the usage, on standard output
//
// See tools/zordb_main.h for the exit statuses.
#include <cstdio>

#include "tools/zordb_main.h"

int main(int argc, char** argv) { return RunZordb(argc, argv, stdout, stderr); }
