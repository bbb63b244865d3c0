#!/usr/bin/env bash
# Runs scripts/check_threaded_names.sh on a scratch test file: each test that
# starts threads, directly or through a helper of its file, is named unless
# "Threaded" is in its name; mentions in comments, strings and macros are not
# starts. Usage: scripts/check_threaded_names_test.sh   (a second)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${ZOR_TEST_TMP:-/tmp}/check_threaded_names_test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/scripts" "$scratch/tests/x"
cp "$here/check_threaded_names.sh" "$scratch/scripts/"
cd "$scratch"

cat >tests/x/sound_test.cpp <<'CPP'
namespace {
void Quiet() { const char* s = "std::thread"; (void)s; }
TEST(Plain, MentionsOnly) {
  // A std::thread named in a comment, /* std::async */ or a string starts nothing.
  Quiet();
  const char* raw = R"x(std::thread t;)x";
  CProjectSettings settings(0, 0);
}
TEST(PlainThreaded, StartsOne) { std::thread([] {}).join(); }
TEST_F(Fixture, StartsOneThreaded) { auto f = std::async([] {}); }
}  // namespace
CPP
scripts/check_threaded_names.sh tests/x/sound_test.cpp >out 2>&1 || { cat out; echo "FAIL: a sound file fails"; exit 1; }

cat >tests/x/faults_test.cpp <<'CPP'
#define OPENS(x) \
  { std::thread t(x);
namespace zor {
namespace {
class Worker {
 public:
  void Run() { m_thread = std::thread([] {}); }
  std::thread m_thread;
};
void Helper() { Worker w; w.Run(); }
const auto lambda = [] { pthread_create(nullptr, nullptr, nullptr, nullptr); };
TEST(Suite, Direct) { std::jthread t([] {}); }
TEST(Suite, ThroughAHelper) {
  Helper();
}
TEST(Suite, ThroughALambda) { lambda(); }
TEST_F(Fix, ThroughTheLibrary) { CZORRedirecter r; }
TEST_F(Fix, AWatcher) { auto s = std::make_unique<CProjectSettings>(1, 0, "n"); }
TEST(Suite, ACrashHandler) { CCrashHandler::Install(); }
TEST(Suite, NoThread) { int x = 0; (void)x; }
void Later();
void Middle() { Later(); }
void Later() { std::thread([] {}).join(); }
TEST(Suite, ThroughAChain) { Middle(); }
}  // namespace
}  // namespace zor
CPP
scripts/check_threaded_names.sh tests/x/faults_test.cpp tests/x/sound_test.cpp >out 2>&1 &&
  { cat out; echo "FAIL: the faults pass"; exit 1; }
expect() {  # expect <text the output must hold>
  grep -qF -- "$1" out || { cat out; echo "FAIL: not named: $1"; exit 1; }
}
expect 'tests/x/faults_test.cpp:12: Suite.Direct starts threads'
expect 'tests/x/faults_test.cpp:13: Suite.ThroughAHelper starts threads'
expect 'tests/x/faults_test.cpp:16: Suite.ThroughALambda starts threads'
expect 'tests/x/faults_test.cpp:17: Fix.ThroughTheLibrary starts threads'
expect 'tests/x/faults_test.cpp:18: Fix.AWatcher starts threads'
expect 'tests/x/faults_test.cpp:19: Suite.ACrashHandler starts threads'
expect 'tests/x/faults_test.cpp:24: Suite.ThroughAChain starts threads'
if (($(grep -c 'starts threads' out) != 7)); then cat out; echo "FAIL: other tests named"; exit 1; fi
echo "check_threaded_names_test: every way of starting a thread is caught"
