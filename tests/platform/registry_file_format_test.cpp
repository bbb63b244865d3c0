#include "platform/registry_file_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/cpu_timer.h"

namespace zor::platform {
namespace {

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

RegistryNode SampleHive() {
  RegistryNode root;
  RegistryNode& settings = root.AddSubKey("Software").AddSubKey("Zor").AddSubKey("Tridu")
                               .AddSubKey("8.0").AddSubKey("Drivers").AddSubKey("Drv")
                               .AddSubKey("Settings");
  settings.SetValue("Enable File Logging", REG_BINARY, std::vector<uint8_t>{1});
  settings.SetValue("Count", REG_DWORD, std::vector<uint8_t>{0x2a, 0, 0, 0});
  settings.SetValue("Project", REG_SZ, Bytes(std::string_view("C:\\Data\\North \"Sea\"\0", 20)));
  settings.SetValue("Folders", REG_MULTI_SZ, Bytes(std::string_view("a\0b\0\0", 5)));
  settings.SetValue("Big", REG_QWORD, std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8});
  root.AddSubKey("Empty");
  return root;
}

TEST(RegistryFileFormat, WritesReadableSortedLines) {
  const std::string text = SerializeHive(SampleHive());
  EXPECT_EQ(text,
            "; zor registry hive 1\n"
            "[Empty]\n"
            "[Software\\Zor\\Tridu\\8.0\\Drivers\\Drv\\Settings]\n"
            "\"Big\"=qword:0807060504030201\n"
            "\"Count\"=dword:0000002a\n"
            "\"Enable File Logging\"=binary:01\n"
            "\"Folders\"=multi_sz:\"a\",\"b\"\n"
            "\"Project\"=sz:\"C:\\\\Data\\\\North \\\"Sea\\\"\"\n"
            "; end\n");
  RegistryNode back;
  std::string why;
  ASSERT_TRUE(ParseHive(text, back, &why)) << why;
  EXPECT_EQ(back, SampleHive());
}

TEST(RegistryFileFormat, EveryByteAndWidthSurvives) {
  RegistryNode root;
  RegistryNode& key = root.AddSubKey("odd %name\x01\xff[]").AddSubKey(" spaced ");
  std::vector<uint8_t> all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<uint8_t>(b));
  key.SetValue(std::string_view("name\0with\nnul\xfe\"", 15), REG_BINARY, all);
  key.SetValue("sz without terminator", REG_SZ, Bytes("abc"));
  key.SetValue("sz with inner zero", REG_SZ, Bytes(std::string_view("a\0b\0", 4)));
  key.SetValue("empty sz", REG_SZ, {});
  key.SetValue("empty text", REG_SZ, std::vector<uint8_t>{0});
  key.SetValue("multi with empty", REG_MULTI_SZ, Bytes(std::string_view("a\0\0\0", 4)));
  key.SetValue("short dword", REG_DWORD, std::vector<uint8_t>{1, 2});
  key.SetValue("empty binary", REG_BINARY, {});
  key.SetValue("expand", REG_EXPAND_SZ, Bytes(std::string_view("%HOME%\\x\0", 9)));
  key.SetValue("", REG_NONE, std::vector<uint8_t>{9});
  key.SetValue("unknown type", 0xFFFFFFFFu, std::vector<uint8_t>{7});
  root.SetValue("at root", REG_SZ, Bytes(std::string_view("r\0", 2)));

  const std::string text = SerializeHive(root);
  for (char c : text) {  // the file stays plain ASCII text
    EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << int(c);
  }
  RegistryNode back;
  std::string why;
  ASSERT_TRUE(ParseHive(text, back, &why)) << why << "\n" << text;
  EXPECT_EQ(back, root);
  EXPECT_EQ(SerializeHive(back), text);
}

TEST(RegistryFileFormat, AcceptsHandEdits) {
  RegistryNode root;
  ASSERT_TRUE(ParseHive("; zor registry hive 1\r\n"
                        "; a comment\r\n"
                        "\r\n"
                        "  [Software\\Zor]  \r\n"
                        "\"A\"=DWORD:0000002A\r\n"  // type names are lower case: rejected below
                        "; end\r\n",
                        root) == false);
  ASSERT_TRUE(ParseHive("; zor registry hive 1\r\n"
                        "[SOFTWARE\\zor]\r\n"
                        "\"A\"=dword:0000002A\r\n"
                        "[software\\ZOR]\r\n"
                        "\"a\"=dword:00000001\r\n"  // later duplicate wins, first case kept
                        "\"B\"=binary:hex:0a\r\n"
                        "\"C\"=type2:\"x\"\r\n"
                        "; end\r\n",
                        root));
  const RegistryNode* key = root.FindSubKey("software")->FindSubKey("zor");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(root.subkeys[0].name, "SOFTWARE");
  ASSERT_EQ(key->values.size(), 3u);
  EXPECT_EQ(key->values[0].name, "A");
  EXPECT_EQ(key->values[0].data, (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(key->FindValue("b")->data, std::vector<uint8_t>{10});
  EXPECT_EQ(key->FindValue("c")->type, REG_EXPAND_SZ);
}

// A hand-edited file may list its keys and values in any order: reading one
// of 40,000 keys and 40,000 values in falling order must stay n log n.
TEST(RegistryFileFormat, KeysAndValuesInAnyOrderReadInLinearithmicTime) {
  constexpr int kCount = 40000;
  std::string text = "; zor registry hive 1\n";
  char line[64];
  for (int i = kCount; i > 0; --i) {
    std::snprintf(line, sizeof line, "[Keys\\k%06d]\n", i);
    text += line;
  }
  text += "[Values]\n";
  for (int i = kCount; i > 0; --i) {
    std::snprintf(line, sizeof line, "\"v%06d\"=dword:%08x\n", i, i);
    text += line;
  }
  text += "; end\n";
  RegistryNode root;
  const ThreadCpuTimer timer;
  ASSERT_TRUE(ParseHive(text, root));
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr double kBoundSeconds = 10;  // the quadratic read took minutes here
#else
  constexpr double kBoundSeconds = 3;  // and about ten seconds here
#endif
  EXPECT_LT(timer.Seconds(), kBoundSeconds);
  const RegistryNode* keys = root.FindSubKey("keys");
  const RegistryNode* values = root.FindSubKey("values");
  ASSERT_NE(keys, nullptr);
  ASSERT_NE(values, nullptr);
  ASSERT_EQ(keys->subkeys.size(), static_cast<std::size_t>(kCount));
  ASSERT_EQ(values->values.size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(keys->subkeys.front().name, "k000001");
  EXPECT_EQ(values->values.back().name, "v040000");
  EXPECT_EQ(values->FindValue("V000255")->data, (std::vector<uint8_t>{0xFF, 0, 0, 0}));
  // Written back, the tree reads the same.
  RegistryNode again;
  ASSERT_TRUE(ParseHive(SerializeHive(root), again));
  EXPECT_EQ(again, root);

  // Out of order and named twice: keys merge, later values win, the first
  // spelling stays.
  ASSERT_TRUE(ParseHive("; zor registry hive 1\n"
                        "[B]\n\"v\"=dword:00000001\n"
                        "[A\\x\\deep]\n"
                        "[b]\n\"V\"=dword:00000002\n\"u\"=dword:00000003\n"
                        "[a\\Y]\n"
                        "[a]\n\"k\"=sz:\"t\"\n"
                        "[A\\X]\n\"w\"=dword:00000004\n"
                        "; end\n",
                        root));
  ASSERT_EQ(root.subkeys.size(), 2u);
  const RegistryNode& a = root.subkeys[0];
  const RegistryNode& b = root.subkeys[1];
  EXPECT_EQ(a.name, "A");
  EXPECT_EQ(b.name, "B");
  ASSERT_EQ(b.values.size(), 2u);
  EXPECT_EQ(b.values[0].name, "u");
  EXPECT_EQ(b.values[1].name, "v");
  EXPECT_EQ(b.values[1].data, (std::vector<uint8_t>{2, 0, 0, 0}));
  ASSERT_EQ(a.subkeys.size(), 2u);
  EXPECT_EQ(a.subkeys[0].name, "x");
  EXPECT_EQ(a.subkeys[1].name, "Y");
  ASSERT_NE(a.subkeys[0].FindSubKey("deep"), nullptr);
  ASSERT_NE(a.subkeys[0].FindValue("w"), nullptr);
  ASSERT_NE(a.FindValue("K"), nullptr);
}

TEST(RegistryFileFormat, RejectsDamagedText) {
  const std::string head = "; zor registry hive 1\n[K]\n";
  const char* const damaged[] = {
      "",
      "; zor registry hive 2\n; end\n",
      "[K]\n; end\n",
      "; zor registry hive 1\n[K]\n\"v\"=dword:00000001\n",  // cut off before the end line
      "; zor registry hive 1\n\"v\"=dword:00000001\n; end\n",  // value outside a key
      "; zor registry hive 1\n; end\n[K]\n",                   // text after the end
      "; zor registry hive 1\n[K\\\\L]\n; end\n",              // empty key name
      "; zor registry hive 1\n[\\K]\n; end\n",
      "; zor registry hive 1\n[K%4]\n; end\n",                 // bad escape
      "; zor registry hive 1\n[K%5CL]\n; end\n",               // backslash inside a name
      "; zor registry hive 1\n[K\n; end\n",
  };
  for (const char* text : damaged) {
    RegistryNode root;
    root.AddSubKey("stale");
    std::string why;
    EXPECT_FALSE(ParseHive(text, root, &why)) << text;
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(root, RegistryNode{});
  }
  const char* const bad_values[] = {
      "\"v\"=dword:0000001\n",     "\"v\"=dword:000000011\n", "\"v\"=qword:00000001\n",
      "\"v\"=binary:0\n",          "\"v\"=binary:00,\n",      "\"v\"=binary:00 01\n",
      "\"v\"=sz:\"abc\n",          "\"v\"=sz:\"a\\q\"\n",     "\"v\"=sz:\"a\\x4\"\n",
      "\"v\"=sz:\"a\"x\n",         "\"v\"=sz:abc\n",          "\"v\"=typeX:hex:00\n",
      "\"v\"=type99999999999:00\n", "\"v\"dword:00000001\n",   "\"v=dword:00000001\n",
      "\"v\"=multi_sz:\"a\",\n",   "\"v\"=none:00\n",         "v=binary:00\n",
  };
  for (const char* line : bad_values) {
    RegistryNode root;
    EXPECT_FALSE(ParseHive(head + line + "; end\n", root)) << line;
  }
}

TEST(RegistryFileFormat, LimitsDepthAndNameLength) {
  std::string deep;
  for (std::size_t i = 0; i < kMaxRegistryDepth; ++i) deep += (i ? "\\k" : "k");
  RegistryNode root;
  EXPECT_TRUE(ParseHive("; zor registry hive 1\n[" + deep + "]\n; end\n", root));
  EXPECT_FALSE(ParseHive("; zor registry hive 1\n[" + deep + "\\k]\n; end\n", root));
  EXPECT_TRUE(ParseHive("; zor registry hive 1\n[" + std::string(255, 'n') + "]\n; end\n", root));
  EXPECT_FALSE(ParseHive("; zor registry hive 1\n[" + std::string(256, 'n') + "]\n; end\n", root));
}

TEST(RegistryTree, NamesIgnoreCaseAndKeepIt) {
  EXPECT_EQ(CompareRegistryNames("abc", "ABC"), 0);
  EXPECT_LT(CompareRegistryNames("A", "b"), 0);
  EXPECT_LT(CompareRegistryNames("ab", "abc"), 0);
  EXPECT_GT(CompareRegistryNames("\xe9", "z"), 0);  // bytes above ASCII compare by value
  EXPECT_NE(CompareRegistryNames("\xe9", "\xc9"), 0);

  RegistryNode node;
  node.AddSubKey("b");
  node.AddSubKey("A");
  node.AddSubKey("c");
  EXPECT_EQ(&node.AddSubKey("B"), node.FindSubKey("b"));
  ASSERT_EQ(node.subkeys.size(), 3u);
  EXPECT_EQ(node.subkeys[0].name, "A");
  EXPECT_EQ(node.subkeys[1].name, "b");
  EXPECT_TRUE(node.SetValue("Val", REG_DWORD, std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_FALSE(node.SetValue("VAL", REG_DWORD, std::vector<uint8_t>{1, 0, 0, 0}));  // no change
  EXPECT_TRUE(node.SetValue("VAL", REG_BINARY, std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(node.values[0].name, "Val");

  std::vector<std::string> parts;
  EXPECT_TRUE(SplitRegistryPath("Software\\Zor", parts));
  EXPECT_EQ(parts, (std::vector<std::string>{"Software", "Zor"}));
  EXPECT_TRUE(SplitRegistryPath("", parts));
  EXPECT_TRUE(parts.empty());
  EXPECT_FALSE(SplitRegistryPath("\\Software", parts));
  EXPECT_FALSE(SplitRegistryPath("Software\\", parts));
  EXPECT_FALSE(SplitRegistryPath("a\\\\b", parts));
  EXPECT_FALSE(SplitRegistryPath(std::string(256, 'x'), parts));
}

}  // namespace
}  // namespace zor::platform
