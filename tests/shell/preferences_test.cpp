// The preferences: the start-up values and the figure font's size with
// their defaults, clamps and reductions, and the per-user file that keeps
// them.
#include <gtest/gtest.h>

#include <utility>

#include "shell/file_preferences.hpp"
#include "shell/startup_settings.hpp"
#include "tests/shell/memory_preferences.hpp"
#include "tests/shell/temp_home.hpp"
#include "tools/disk_file.hpp"

namespace vke {
namespace {

using test::MemoryPreferences;

std::string FileText(const std::string& path) {
  std::string text;
  EXPECT_TRUE(ReadDiskFile(path, &text)) << path;
  return text;
}

TEST(StartupSettings, BlockSizesAreClamped) {
  MemoryPreferences p;
  EXPECT_EQ(ReadStartupSettings(p).memMin, 0x7E8000u);
  EXPECT_EQ(ReadStartupSettings(p).memMax, 0x8000000u);
  p.Set(PrefKey::MemMin, "0");
  p.Set(PrefKey::MemMax, "10000000");
  StartupSettings s = ReadStartupSettings(p);
  EXPECT_EQ(s.memMin, 0x7E8000u);
  EXPECT_EQ(s.memMax, 10000000u);

  p.Set(PrefKey::MemMin, "20000000");
  s = ReadStartupSettings(p);
  EXPECT_EQ(s.memMin, 20000000u);
  EXPECT_EQ(s.memMax, 20000000u);

  // Beyond 32 bits the numbers saturate and are clamped like any other.
  p.Set(PrefKey::MemMin, "2147483647");
  p.Set(PrefKey::MemMax, " 99999999999 ");
  s = ReadStartupSettings(p);
  EXPECT_EQ(s.memMin, 0x7FF00000u);
  EXPECT_EQ(s.memMax, 0x7FF00000u);

  p.Set(PrefKey::MemMin, "-5");
  p.Set(PrefKey::MemMax, "lots");
  s = ReadStartupSettings(p);
  EXPECT_EQ(s.memMin, 0x7E8000u);
  EXPECT_EQ(s.memMax, 0x8000000u);
}

TEST(StartupSettings, FigureFontSizeIsAMagnitudeWithinTheLargestFont) {
  MemoryPreferences p;
  EXPECT_EQ(FigureFontPixels(p), 11);  // "-11", the default
  for (auto [stored, pixels] : {std::pair{"12", 12},
                                {"0", 0},
                                {"-2147483648", 4096},
                                {"2147483647", 4096},
                                {"-99999999999", 4096},
                                {"big", 11}}) {
    p.Set(PrefKey::FigFontSize, stored);
    EXPECT_EQ(FigureFontPixels(p), pixels) << stored;
  }
}

TEST(StartupSettings, OptionsAndFormatLetters) {
  MemoryPreferences p;
  StartupSettings s = ReadStartupSettings(p);
  EXPECT_EQ(s.codeOption, 4);
  EXPECT_EQ(s.bkColor, 0xE5E5E5u);
  EXPECT_EQ(s.formatType, 'g');
  EXPECT_EQ(s.formatDigits, 4);
  p.Set(PrefKey::CodeOptimization, "-3");
  p.Set(PrefKey::DiscardAssert, "513");
  p.Set(PrefKey::FormatType, "5");
  p.Set(PrefKey::FormatImagSymbol, "k");
  p.Set(PrefKey::FormatLoose, "0x1");
  s = ReadStartupSettings(p);
  EXPECT_EQ(s.codeOption, 4);
  EXPECT_EQ(s.discardAssert, 1);
  EXPECT_EQ(s.formatType, 'g');
  EXPECT_EQ(s.imagSymbol, 'j');
  EXPECT_EQ(s.formatLoose, 0);  // not a number: the default

  p.Set(PrefKey::CodeOptimization, "0");
  p.Set(PrefKey::FormatType, "Short");
  p.Set(PrefKey::FormatImagSymbol, "i");
  s = ReadStartupSettings(p);
  EXPECT_EQ(s.codeOption, 0);
  EXPECT_EQ(s.formatType, 'S');
  EXPECT_EQ(s.imagSymbol, 'i');

  p.Set(PrefKey::FormatType, "");
  p.Set(PrefKey::FormatImagSymbol, "");
  s = ReadStartupSettings(p);
  EXPECT_EQ(s.formatType, 'g');
  EXPECT_EQ(s.imagSymbol, 'j');
}

TEST(PreferenceFile, WrittenPerApplicationUnderTheConfigurationFolder) {
  test::TempHome home;
  const std::string path = PreferencesPath("demo");
  EXPECT_EQ(path, home.Root() + "/config/Morvath/demo.conf");
  {
    FilePreferences p(path);
    EXPECT_FALSE(std::filesystem::exists(home.Root() + "/config/Morvath"));
    EXPECT_TRUE(p.WriteInt(PrefKey::BkColor, 0x123456));
    EXPECT_TRUE(p.WriteText(PrefKey::FigFontName, "DejaVu Sans"));
    EXPECT_TRUE(p.Write(kRecentFileGroup, "File1", "/tmp/a b.kv"));
    // Each write reaches the file at once.
    EXPECT_NE(FileText(path).find("File1=/tmp/a b.kv"), std::string::npos);
  }
  // The INI dialect escapes the blanks of a group it creates.
  EXPECT_EQ(FileText(path),
            "[1.0]\nBkColor=1193046\nFigFontName=DejaVu Sans\n"
            "[Recent\\ File\\ List]\nFile1=/tmp/a b.kv\n");
  FilePreferences again(path);
  EXPECT_EQ(again.ReadInt(PrefKey::BkColor), 0x123456);
  EXPECT_EQ(again.ReadText(PrefKey::FigFontName), "DejaVu Sans");
  EXPECT_EQ(again.ReadInt(PrefKey::FigFontSize), -11);
  EXPECT_EQ(again.Read(kRecentFileGroup, "File1"), "/tmp/a b.kv");
  EXPECT_FALSE(again.Read(kBarSettingsGroup, "Bars").has_value());
}

// Numbers written by hand with a sign, blanks or beyond the 32-bit range.
TEST(PreferenceFile, SignedNumbersReadAsWritten) {
  test::TempHome home;
  const std::string path = PreferencesPath("demo");
  test::WriteFile(path,
                  "[1.0]\nFigFontSize=+300\nThickLines= -2 \nBkColor=99999999999\n"
                  "MemMin=+\n");
  FilePreferences p(path);
  EXPECT_EQ(p.ReadInt(PrefKey::FigFontSize), 300);
  EXPECT_EQ(p.ReadInt(PrefKey::ThickLines), -2);
  EXPECT_EQ(p.ReadInt(PrefKey::BkColor), INT32_MAX);
  EXPECT_EQ(p.ReadInt(PrefKey::MemMin), PreferenceKeyOf(PrefKey::MemMin).number);
}

TEST(PreferenceFile, GarbledFileGivesDefaultsAndKeepsWhatItHolds) {
  test::TempHome home;
  const std::string path = PreferencesPath("demo");
  const std::string garbled = "\xff\xfe garbage\n[1.0\n=x\n[1.0]\nMemMin=lots\nName=caf\xe9\n";
  test::WriteFile(path, garbled);
  FilePreferences p(path);
  const StartupSettings s = ReadStartupSettings(p);
  EXPECT_EQ(s.memMin, 0x7E8000u);
  EXPECT_EQ(s.formatType, 'g');
  // Reading writes nothing; a write keeps every other line as it was.
  EXPECT_EQ(FileText(path), garbled);
  EXPECT_TRUE(p.WriteInt(PrefKey::ThickLines, 1));
  EXPECT_EQ(FileText(path), garbled + "ThickLines=1\n");

  // Without a known folder nothing is kept and nothing written.
  FilePreferences nowhere("");
  EXPECT_FALSE(nowhere.WriteInt(PrefKey::ThickLines, 1));
  EXPECT_EQ(nowhere.ReadInt(PrefKey::ThickLines), 0);
}

}  // namespace
}  // namespace vke
