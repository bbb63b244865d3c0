#include "system/registry/zor_registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/log/logger.h"
#include "platform/message_sink.h"
#include "system/registry/program_version.h"
#include "tests/support/registry_folder.h"

namespace reg = zor::platform;

namespace {

// Type and size of a stored value, read past the class.
struct Stored {
  uint32_t type = 0;
  uint32_t size = 0;
  std::vector<uint8_t> data;
};

bool Query(const std::string& key, const std::string& name, Stored& out,
           HKEY hive = HKEY_CURRENT_USER) {
  HKEY h = nullptr;
  if (reg::RegOpenKeyEx(hive, key, reg::KEY_READ, &h) != 0) return false;
  out.size = 0;
  bool ok = reg::RegQueryValueEx(h, name, &out.type, nullptr, &out.size) == 0;
  out.data.resize(out.size);
  uint32_t size = out.size;
  ok = ok && reg::RegQueryValueEx(h, name, nullptr, out.data.data(), &size) == 0;
  reg::RegCloseKey(h);
  return ok;
}

bool KeyExists(const std::string& key, HKEY hive = HKEY_CURRENT_USER) {
  HKEY h = nullptr;
  if (reg::RegOpenKeyEx(hive, key, reg::KEY_READ, &h) != 0) return false;
  reg::RegCloseKey(h);
  return true;
}

void SetRaw(const std::string& key, const std::string& name, uint32_t type, const void* data,
            uint32_t size, HKEY hive = HKEY_CURRENT_USER) {
  HKEY h = nullptr;
  ASSERT_EQ(reg::RegCreateKeyEx(hive, key, reg::KEY_ALL_ACCESS, &h), 0u);
  ASSERT_EQ(reg::RegSetValueEx(h, name, type, data, size), 0u);
  reg::RegCloseKey(h);
}

const char kDrvSettings[] = "Software\\Zor\\Tridu\\8.0\\Drivers\\Drv\\Settings";

TEST(ZorRegistryOpen, OpensTheKeyOfProductCategoryAndSubKeys) {
  ScopedRegistryFolder folder;
  {
    CZORRegistry bare(0, 0);
    EXPECT_EQ(bare.GetKeyPath(), "Software\\Zor");
    EXPECT_TRUE(bare.WriteLong("v", 1));
  }
  EXPECT_TRUE(KeyExists("Software\\Zor"));
  EXPECT_FALSE(KeyExists("Software\\Zor\\Settings"));

  CZORRegistry drv("Drv", 2, 3);
  EXPECT_EQ(drv.GetKeyPath(), "Software\\Zor\\Tridu\\8.0\\Drivers\\Drv");
  EXPECT_EQ(drv.GetSubKeyPath(), "Drv");
  EXPECT_TRUE(drv.WriteByte("Enable File Logging", 1));
  Stored s;
  ASSERT_TRUE(Query(kDrvSettings, "Enable File Logging", s));
  EXPECT_EQ(s.type, reg::REG_BINARY);
  EXPECT_EQ(s.data, std::vector<uint8_t>{1});

  // An empty first sub-key adds no path element, and the second then counts
  // for nothing; "\Settings" is still added.
  CZORRegistry empty("", "Ignored", 4, 1);
  EXPECT_EQ(empty.GetKeyPath(), "Software\\Zor\\Hollimar\\1.1\\Core");
  EXPECT_EQ(empty.GetSubKeyPath(), "\\Ignored");
  EXPECT_TRUE(empty.WriteLong("v", 1));
  EXPECT_TRUE(KeyExists("Software\\Zor\\Hollimar\\1.1\\Core\\Settings"));
  EXPECT_FALSE(KeyExists("Software\\Zor\\Hollimar\\1.1\\Core\\Ignored"));

  CZORRegistry two("Drv", "Port", 10, 3);
  EXPECT_EQ(two.GetKeyPath(), "Software\\Zor\\Drivers\\Drv\\Port");
  EXPECT_EQ(two.GetSubKeyPath(), "Drv\\Port");
  EXPECT_TRUE(two.WriteLong("v", 1));
  EXPECT_TRUE(KeyExists("Software\\Zor\\Drivers\\Drv\\Port\\Settings"));
}

TEST(ZorRegistryValues, EachWriteStoresItsTypeAndWidth) {
  ScopedRegistryFolder folder;
  {
    CZORRegistry r("Drv", 2, 3);
    EXPECT_TRUE(r.WriteByte("byte", 0xAB));
    EXPECT_TRUE(r.WriteWord("word", 0xBEEF));
    EXPECT_TRUE(r.WriteDword("dword", 0xDEADBEEF));
    EXPECT_TRUE(r.WriteBinary("binary", "xyz", 3));
    EXPECT_TRUE(r.WriteText("text", "abc"));
    EXPECT_TRUE(r.WriteText("null text", nullptr));
    EXPECT_TRUE(r.WriteString("string", "hello"));
    EXPECT_TRUE(r.WriteStdString("std", "std text"));
    EXPECT_TRUE(r.WriteDouble("double", -2.5));
    EXPECT_TRUE(r.WriteFloat("float", 1.5f));
    EXPECT_TRUE(r.WriteInt("int", -7));
    EXPECT_TRUE(r.WriteLong("long", -8));
    EXPECT_TRUE(r.WriteUnsigned("unsigned", 4000000000u));
    EXPECT_TRUE(r.WriteBool("bool", true));
    EXPECT_TRUE(r.WriteChar("char", 'Q'));
  }
  const struct {
    const char* name;
    uint32_t type;
    uint32_t size;
  } expected[] = {
      {"byte", reg::REG_BINARY, 1},    {"word", reg::REG_BINARY, 2},
      {"dword", reg::REG_BINARY, 4},   {"binary", reg::REG_BINARY, 3},
      {"text", reg::REG_SZ, 4},        {"null text", reg::REG_SZ, 1},
      {"string", reg::REG_SZ, 6},      {"std", reg::REG_SZ, 9},
      {"double", reg::REG_BINARY, 8},  {"float", reg::REG_BINARY, 4},
      {"int", reg::REG_BINARY, 4},     {"long", reg::REG_DWORD, 4},
      {"unsigned", reg::REG_DWORD, 4}, {"bool", reg::REG_BINARY, 1},
      {"char", reg::REG_BINARY, 1},
  };
  for (const auto& e : expected) {
    Stored s;
    ASSERT_TRUE(Query(kDrvSettings, e.name, s)) << e.name;
    EXPECT_EQ(s.type, e.type) << e.name;
    EXPECT_EQ(s.size, e.size) << e.name;
  }

  // Read back through another object and, in another process, through a
  // third: every value comes back exactly.
  const auto check = [](CZORRegistry& r) {
    uint8_t b = 0; uint16_t w = 0; uint32_t d = 0, u = 0; double dbl = 0; float f = 0;
    int32_t i = 0, l = 0; bool flag = false; char c = 0; std::string t, n, s, std_text;
    char bin[3] = {};
    return r.ReadByte("byte", b) && b == 0xAB && r.ReadWord("word", w) && w == 0xBEEF &&
           r.ReadDword("dword", d) && d == 0xDEADBEEF && r.ReadBinary("binary", bin, 3) &&
           std::memcmp(bin, "xyz", 3) == 0 && r.ReadString("text", t) && t == "abc" &&
           r.ReadString("null text", n) && n.empty() && r.ReadString("string", s) &&
           s == "hello" && r.ReadStdString("std", std_text) && std_text == "std text" &&
           r.ReadDouble("double", dbl) && dbl == -2.5 && r.ReadFloat("float", f) && f == 1.5f &&
           r.ReadInt("int", i) && i == -7 && r.ReadLong("long", l) && l == -8 &&
           r.ReadUnsigned("unsigned", u) && u == 4000000000u && r.ReadBool("bool", flag) &&
           flag && r.ReadChar("char", c) && c == 'Q';
  };
  CZORRegistry again("DRV", 2, 3);
  EXPECT_TRUE(check(again));
  const pid_t pid = fork();
  if (pid == 0) {
    CZORRegistry other("drv", 2, 3);
    _exit(check(other) ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(ZorRegistryValues, ValuesWrittenInAnotherProcessAreReadHere) {
  ScopedRegistryFolder folder;
  CZORRegistry mine("Drv", 2, 3);
  int32_t port = 0;
  EXPECT_FALSE(mine.ReadLong("Port", port));
  const pid_t pid = fork();
  if (pid == 0) {
    CZORRegistry theirs("Drv", 2, 3);
    _exit(theirs.WriteLong("Port", 4) && theirs.WriteDouble("Gain", 0.125) ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  double gain = 0;
  EXPECT_TRUE(mine.ReadLong("Port", port));
  EXPECT_EQ(port, 4);
  EXPECT_TRUE(mine.ReadDouble("Gain", gain));
  EXPECT_EQ(gain, 0.125);
}

TEST(ZorRegistryValues, ReadsIgnoreTheStoredTypeButNotTheWidth) {
  ScopedRegistryFolder folder;
  CZORRegistry r("Drv", 2, 3);
  ASSERT_TRUE(r.WriteInt("int", 77));  // REG_BINARY, 4 bytes
  int32_t l = 0;
  EXPECT_TRUE(r.ReadLong("int", l));
  EXPECT_EQ(l, 77);
  float f = 0;
  ASSERT_TRUE(r.WriteLong("long", 0x3F800000));
  EXPECT_TRUE(r.ReadFloat("long", f));
  EXPECT_EQ(f, 1.0f);

  // A shorter stored value fails the fixed-width read, so the default applies
  // instead of a half-replaced number.
  ASSERT_TRUE(r.WriteByte("short", 5));
  uint32_t d = 0xFFFFFFFF;
  EXPECT_FALSE(r.ReadDword("short", d));
  EXPECT_EQ(d, 0xFFFFFFFFu);
  EXPECT_FALSE(r.ReadDwordDefault("short", d, 9));
  EXPECT_EQ(d, 9u);
  double x = 3.0;
  EXPECT_FALSE(r.ReadDouble("int", x));  // 4 of 8 bytes
  EXPECT_EQ(x, 3.0);
  // A longer one fails as well.
  uint8_t b = 4;
  EXPECT_FALSE(r.ReadByte("int", b));
  EXPECT_EQ(b, 4);
  // Any non-zero byte reads as true, never as an invalid bool.
  ASSERT_TRUE(r.WriteByte("flag", 2));
  bool flag = false;
  EXPECT_TRUE(r.ReadBool("flag", flag));
  EXPECT_TRUE(flag);
  // The raw binary read keeps the platform's rule: a shorter value fills its
  // own leading bytes.
  uint8_t raw[4] = {9, 9, 9, 9};
  EXPECT_TRUE(r.ReadBinary("short", raw, 4));
  EXPECT_EQ(raw[0], 5);
  EXPECT_EQ(raw[1], 9);
}

TEST(ZorRegistryValues, ReadsWithDefaultStoreTheDefaultAndWriteNothing) {
  ScopedRegistryFolder folder;
  CZORRegistry r("Drv", 2, 3);
  uint8_t b = 1; uint16_t w = 1; uint32_t d = 1, u = 1; std::string s = "old"; double dbl = 1;
  float f = 1; int32_t i = 1, l = 1; bool flag = false; char c = 'a';
  EXPECT_FALSE(r.ReadByteDefault("Enable File Logging", b, 7));
  EXPECT_FALSE(r.ReadWordDefault("w", w, 8));
  EXPECT_FALSE(r.ReadDwordDefault("d", d, 9));
  EXPECT_FALSE(r.ReadStringDefault("s", s, "dflt"));
  EXPECT_FALSE(r.ReadDoubleDefault("x", dbl, 2.5));
  EXPECT_FALSE(r.ReadFloatDefault("f", f, 3.5f));
  EXPECT_FALSE(r.ReadIntDefault("i", i, -1));
  EXPECT_FALSE(r.ReadLongDefault("l", l, -2));
  EXPECT_FALSE(r.ReadUnsignedDefault("u", u, 10));
  EXPECT_FALSE(r.ReadBoolDefault("b", flag, true));
  EXPECT_FALSE(r.ReadCharDefault("c", c, 'z'));
  EXPECT_EQ(b, 7); EXPECT_EQ(w, 8); EXPECT_EQ(d, 9u); EXPECT_EQ(s, "dflt"); EXPECT_EQ(dbl, 2.5);
  EXPECT_EQ(f, 3.5f); EXPECT_EQ(i, -1); EXPECT_EQ(l, -2); EXPECT_EQ(u, 10u); EXPECT_TRUE(flag);
  EXPECT_EQ(c, 'z');
  Stored st;
  EXPECT_FALSE(Query(kDrvSettings, "Enable File Logging", st));

  ASSERT_TRUE(r.WriteByte("Enable File Logging", 1));
  EXPECT_TRUE(r.ReadByteDefault("Enable File Logging", b, 7));
  EXPECT_EQ(b, 1);
}

TEST(ZorRegistryStrings, ReadsAreBoundedAndFailuresKeepTheText) {
  ScopedRegistryFolder folder;
  CZORRegistry r("Drv", 2, 3);
  std::string s = "keep";
  ASSERT_TRUE(r.WriteString("long", std::string(260, 'x')));  // 261 bytes stored
  EXPECT_FALSE(r.ReadString("long", s));
  EXPECT_EQ(s, "keep");
  EXPECT_FALSE(r.ReadStdString("long", s));
  EXPECT_EQ(s, "keep");
  EXPECT_FALSE(r.ReadString("missing", s));
  EXPECT_EQ(s, "keep");
  ASSERT_TRUE(r.WriteString("max", std::string(259, 'y')));
  EXPECT_TRUE(r.ReadString("max", s));
  EXPECT_EQ(s, std::string(259, 'y'));

  // A stored text without terminator ends at the stored size.
  ASSERT_TRUE(r.SetValue("raw", reg::REG_SZ, "hello", 5));
  EXPECT_TRUE(r.ReadString("raw", s));
  EXPECT_EQ(s, "hello");
  ASSERT_TRUE(r.SetValue("full", reg::REG_SZ, std::string(260, 'z').data(), 260));
  EXPECT_TRUE(r.ReadString("full", s));
  EXPECT_EQ(s, std::string(260, 'z'));
  // An inner zero ends the text.
  ASSERT_TRUE(r.SetValue("inner", reg::REG_SZ, "ab\0cd", 6));
  EXPECT_TRUE(r.ReadString("inner", s));
  EXPECT_EQ(s, "ab");
}

TEST(ZorRegistryByteArrays, RoundTripAndHostileCounts) {
  ScopedRegistryFolder folder;
  CZORRegistry r("Drv", 2, 3);
  const std::vector<uint8_t> cal = {1, 2, 3, 250, 0, 9};
  ASSERT_TRUE(r.WriteByteArray("Cal", cal));
  Stored count;
  ASSERT_TRUE(Query(kDrvSettings, "Cal-size of bytearray", count));
  EXPECT_EQ(count.type, reg::REG_DWORD);
  EXPECT_EQ(count.data, (std::vector<uint8_t>{6, 0, 0, 0}));
  std::vector<uint8_t> back = {7};
  EXPECT_TRUE(r.ReadByteArray("cal", back));
  EXPECT_EQ(back, cal);
  ASSERT_TRUE(r.WriteByteArray("Empty", {}));
  back = {7};
  EXPECT_TRUE(r.ReadByteArray("Empty", back));
  EXPECT_TRUE(back.empty());

  // Without the size value: empty and 0.
  ASSERT_TRUE(r.WriteBinary("Lone", "abc", 3));
  back = {7};
  EXPECT_FALSE(r.ReadByteArray("Lone", back));
  EXPECT_TRUE(back.empty());
  // A count that does not match the stored data is refused before anything
  // is allocated, in either direction.
  for (uint32_t hostile : {0xFFFFFFF0u, 4u, 2u}) {
    ASSERT_TRUE(r.WriteUnsigned("Lone-size of bytearray", hostile));
    back = {7};
    EXPECT_FALSE(r.ReadByteArray("Lone", back)) << hostile;
    EXPECT_TRUE(back.empty());
  }
  // The count's write failing (a name too long with its suffix) is a failure
  // even though the data was written.
  const std::string name(reg::kMaxRegistryValueName - 5, 'n');
  EXPECT_FALSE(r.WriteByteArray(name, cal));
}

TEST(ZorRegistryNoKey, EveryOperationFailsAndReadsKeepOrDefault) {
  ScopedRegistryFolder folder;
  CZORRegistry r("Drv", 2, 3, nullptr);
  EXPECT_EQ(r.GetKeyPath(), "Software\\Zor\\Tridu\\8.0\\Drivers\\Drv");
  EXPECT_FALSE(r.WriteByte("b", 1));
  EXPECT_FALSE(r.WriteString("s", "x"));
  EXPECT_FALSE(r.WriteByteArray("a", {1}));
  EXPECT_FALSE(r.WriteWindowPlacement(WINDOWPLACEMENT{}));
  EXPECT_FALSE(r.WriteDisplaySettings(sDisplaySettings{}));
  uint8_t b = 5;
  std::string s = "keep";
  EXPECT_FALSE(r.ReadByte("b", b));
  EXPECT_EQ(b, 5);
  EXPECT_FALSE(r.ReadString("s", s));
  EXPECT_EQ(s, "keep");
  EXPECT_FALSE(r.ReadStringDefault("s", s, "d"));
  EXPECT_EQ(s, "d");
  WINDOWPLACEMENT wp{};
  EXPECT_FALSE(r.ReadWindowPlacement(wp));
  EXPECT_FALSE(r.DeleteValue("b"));
  EXPECT_FALSE(r.SetValue("b", reg::REG_BINARY, "x", 1));
  EXPECT_TRUE(r.VerifyBarState(nullptr));
  EXPECT_FALSE(KeyExists("Software"));
}

TEST(ZorRegistryWindows, PlacementAndDisplayRecordsKeepTheirPresetFields) {
  ScopedRegistryFolder folder;
  CZORRegistry r("Disp", 2, 2);
  WINDOWPLACEMENT wp{};
  wp.length = 0;
  wp.showCmd = 3;
  wp.rcNormalPosition[2] = 640;
  ASSERT_TRUE(r.WriteWindowPlacement(wp));
  sDisplaySettings ds{};
  ds.size = 64;
  ds.data[59] = 0x5A;
  ASSERT_TRUE(r.WriteDisplaySettings(ds));
  Stored s;
  ASSERT_TRUE(Query("Software\\Zor\\Tridu\\8.0\\Displays\\Disp\\Settings", "Window", s));
  EXPECT_EQ(s.size, 44u);
  EXPECT_EQ(s.data[0], 44);
  ASSERT_TRUE(Query("Software\\Zor\\Tridu\\8.0\\Displays\\Disp\\Settings",
                    "Display Registry Settings", s));
  EXPECT_EQ(s.size, 64u);
  EXPECT_EQ(s.data[0], 44);
  EXPECT_EQ(s.data[63], 0x5A);

  WINDOWPLACEMENT wp2{};
  EXPECT_TRUE(r.ReadWindowPlacement(wp2));
  EXPECT_EQ(wp2.length, 44u);
  EXPECT_EQ(wp2.showCmd, 3u);
  EXPECT_EQ(wp2.rcNormalPosition[2], 640);
  sDisplaySettings ds2{};
  EXPECT_TRUE(r.ReadDisplaySettings(ds2));
  EXPECT_EQ(ds2.size, 44u);
  EXPECT_EQ(ds2.data[59], 0x5A);
}

TEST(ZorRegistryWindows, BarStateVerifiesOnlyWhenNothingIsStored) {
  ScopedRegistryFolder folder;
  CZORRegistry r("Disp", 2, 2);
  EXPECT_EQ(r.SaveBarState(nullptr, "Main"), 1);
  EXPECT_EQ(r.VerifyBarState(nullptr), 1);
  EXPECT_EQ(r.LoadBarState(nullptr, ""), 1);
  const uint32_t bars = 2;
  SetRaw("Software\\Zor\\Tridu\\8.0\\Displays\\Disp\\Settings\\BarState-Summary", "Bars",
         reg::REG_DWORD, &bars, 4);
  EXPECT_EQ(r.VerifyBarState(nullptr), 0);
  EXPECT_EQ(r.LoadBarState(nullptr, "Main"), 0);
}

TEST(ZorRegistryKeys, DeleteValueAndDeleteKeyTree) {
  ScopedRegistryFolder folder;
  {
    CZORRegistry r("Drv", 2, 3);
    ASSERT_TRUE(r.WriteLong("a", 1));
    EXPECT_TRUE(r.DeleteValue("A"));
    EXPECT_FALSE(r.DeleteValue("a"));
    CZORRegistry below("Drv", "Port", 2, 3);
    ASSERT_TRUE(below.WriteLong("b", 1));
    EXPECT_EQ(r.DeleteKey(""), reg::kErrorBadKey);
    EXPECT_EQ(r.DeleteKey(r.GetKeyPath()), 0u);
    EXPECT_EQ(r.DeleteKey(r.GetKeyPath()), reg::kErrorFileNotFound);
  }
  EXPECT_FALSE(KeyExists("Software\\Zor\\Tridu\\8.0\\Drivers\\Drv"));
  EXPECT_TRUE(KeyExists("Software\\Zor\\Tridu\\8.0\\Drivers"));
}

// Builds Software\Src with values, a big value and sub-keys "Cop" and "A\B".
void FillSource() {
  const uint32_t one = 1;
  SetRaw("Software\\Src", "v", reg::REG_DWORD, &one, 4);
  const std::string big(5000, 'b');
  SetRaw("Software\\Src", "big", reg::REG_BINARY, big.data(), 5000);
  SetRaw("Software\\Src\\Cop", "c", reg::REG_SZ, "cop", 4);
  SetRaw("Software\\Src\\A\\B", "deep", reg::REG_SZ, "d", 2);
}

TEST(ZorRegistryCopy, CopiesIntoASubKeyOfItself) {
  ScopedRegistryFolder folder;
  FillSource();
  HKEY src = nullptr;
  ASSERT_EQ(reg::RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Src", reg::KEY_ALL_ACCESS, &src), 0u);
  // "Cop" is a prefix of the destination's name and must still be copied.
  EXPECT_EQ(CZORRegistry::CopyKey(src, src, "Copy"), 0u);
  Stored s;
  EXPECT_TRUE(Query("Software\\Src\\Copy", "v", s));
  EXPECT_TRUE(Query("Software\\Src\\Copy", "big", s));
  EXPECT_EQ(s.size, 5000u);
  EXPECT_TRUE(Query("Software\\Src\\Copy\\Cop", "c", s));
  EXPECT_TRUE(Query("Software\\Src\\Copy\\A\\B", "deep", s));
  EXPECT_EQ(s.type, reg::REG_SZ);
  EXPECT_FALSE(KeyExists("Software\\Src\\Copy\\Copy"));

  // A destination deeper inside the source is left out as well.
  EXPECT_EQ(CZORRegistry::CopyKey(src, src, "a\\b"), 0u);
  EXPECT_TRUE(Query("Software\\Src\\A\\B\\Copy\\Cop", "c", s));
  EXPECT_TRUE(Query("Software\\Src\\A\\B", "v", s));
  EXPECT_TRUE(KeyExists("Software\\Src\\A\\B\\A"));
  EXPECT_FALSE(KeyExists("Software\\Src\\A\\B\\A\\B"));
  reg::RegCloseKey(src);
}

TEST(ZorRegistryCopy, PreviousVersionSettingsAreCopiedOnce) {
  ScopedRegistryFolder folder;
  EXPECT_FALSE(CZORRegistry::CopyPreviousVersionSettings(2));  // nothing to copy
  const uint32_t seven = 7;
  SetRaw("Software\\Zor\\Tridu\\7.0\\Drivers\\Drv\\Settings", "Port", reg::REG_DWORD, &seven, 4);
  EXPECT_FALSE(CZORRegistry::CopyPreviousVersionSettings(1));
  EXPECT_TRUE(CZORRegistry::CopyPreviousVersionSettings(2));
  {
    CZORRegistry r("Drv", 2, 3);
    int32_t port = 0;
    EXPECT_TRUE(r.ReadLong("Port", port));
    EXPECT_EQ(port, 7);
    ASSERT_TRUE(r.WriteLong("Port", 8));
  }
  EXPECT_FALSE(CZORRegistry::CopyPreviousVersionSettings(2));  // 8.0 exists now
  Stored s;
  ASSERT_TRUE(Query(kDrvSettings, "Port", s));
  EXPECT_EQ(s.data[0], 8);
  EXPECT_TRUE(KeyExists("Software\\Zor\\Tridu\\7.0\\Drivers\\Drv\\Settings"));
}

TEST(ZorRegistryRelease, RegistryValueThenVersionRecord) {
  ScopedRegistryFolder folder;
  std::vector<reg::MessageBoxCall> boxes;
  reg::ScopedMessageSink sink([&](const reg::MessageBoxCall& box) {
    boxes.push_back(box);
    return reg::IDOK;
  });
  OverrideProgramVersionRecord(std::nullopt);
  CZORRegistry r(0, 0);
  std::string release = "junk";
  EXPECT_EQ(r.GetReleaseVersion("Tridu", "8.0", &release, true), 0);
  EXPECT_EQ(release, "");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Product: Tridu\nVersion: 8.0\nProduct Release Version: [NOT FOUND]");
  EXPECT_EQ(boxes[0].style, reg::MB_ICONWARNING);
  EXPECT_EQ(r.GetReleaseVersion("Tridu", "8.0", nullptr, false), 0);  // no out string

  OverrideProgramVersionRecord(ProgramVersionRecord{"8.0", "8.0.3.12"});
  EXPECT_EQ(r.GetReleaseVersion("Tridu", "8.0", &release, false), 1);
  EXPECT_EQ(release, "8.0.8.0.3.12");
  EXPECT_EQ(r.GetReleaseVersion("Tridu", "8.0", nullptr, false), 1);

  SetRaw("Software\\Zor\\Tridu\\8.0", "Release Version", reg::REG_SZ, "8.0 R2", 7,
         HKEY_LOCAL_MACHINE);
  EXPECT_EQ(r.GetReleaseVersion("Tridu", "8.0", &release, true), 1);
  EXPECT_EQ(release, "8.0 R2");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Product: Tridu\nVersion: 8.0\nProduct Release Version: 8.0 R2");
  EXPECT_EQ(boxes[1].style, reg::MB_ICONINFORMATION);
  // The object now holds the machine key, read-only.
  std::string back;
  EXPECT_TRUE(r.ReadString("Release Version", back));
  EXPECT_FALSE(r.WriteLong("x", 1));

  // The record compiled into the program.
  ResetProgramVersionRecord();
  ProgramVersionRecord own;
  ASSERT_TRUE(GetProgramVersionRecord(own));
  EXPECT_FALSE(own.productVersion.empty());
  EXPECT_EQ(r.GetReleaseVersion("Absent", "1.0", &release, false), 1);
  EXPECT_EQ(release, own.productVersion + "." + own.fileVersion);
}

TEST(ZorRegistryDiagnostics, DamagedHiveIsReportedToTheLog) {
  ScopedRegistryFolder folder;
  folder.Write("current_user.hive", "garbage");
  const std::string log = folder.Path("diag.log");
  const pid_t pid = fork();
  if (pid == 0) {
    // A fresh logger state in a child of its own.
    InitLogging(1, kLogFile, 0, log.c_str(), false, 0, false);
    { CZORRegistry r("Drv", 2, 3); }
    StopLogging();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Registry: registry hive"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("is damaged"), std::string::npos);
}

}  // namespace
