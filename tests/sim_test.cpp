// The simulator's pieces (key scripts, stand-ins, state dump, hash, PNG writer) and the
// built treadbrawl-sim executable itself.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "app/sim/Scene.h"
#include "app/sim/Script.h"
#include "app/sim/SimPlatform.h"
#include "app/sim/Simulator.h"
#include "app/sim/StateDump.h"
#include "pictures/Png.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

using namespace tb::sim;

namespace {

std::string TempDir() {
  static const std::string dir = [] {
    std::string d = ::testing::TempDir() + "treadbrawl_sim_test_" + std::to_string(getpid());
    mkdir(d.c_str(), 0755);
    return d + "/";
  }();
  return dir;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

RunResult RunExe(const std::string& args) {
  static int counter = 0;
  std::string errPath = TempDir() + "stderr" + std::to_string(++counter) + ".txt";
  std::string cmd = std::string("'") + TREADBRAWL_SIM_EXE + "' " + args + " 2>'" + errPath + "'";
  RunResult r;
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return r;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) r.out.append(buf, n);
  int st = pclose(pipe);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = ReadText(errPath);
  return r;
}

RunResult RunInProcess(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  RunResult r;
  r.status = SimMain(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

// Read back through libpng's simplified reader, independent of the writer's code path.
bool ReadPng(const std::string& path, Image& image) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  bool rgb8 = (img.format & PNG_FORMAT_FLAG_COLOR) && !(img.format & PNG_FORMAT_FLAG_ALPHA) &&
              !(img.format & PNG_FORMAT_FLAG_LINEAR);
  img.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(img.width);
  image.height = static_cast<int>(img.height);
  image.rgb.resize(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, image.rgb.data(), 0, nullptr)) return false;
  return rgb8;
}

// A window with the hand-made scene registered, for the dump and hash tests.
struct SceneWorld {
  tb::Raster raster{kSceneWidth, kSceneHeight};
  ScriptedKeys keys;
  RecordingSoundPlayer sounds;
  SimClock clock{36000.0};
  tb::Pcg32 random{1, true};
  tb::MainFrm frm{raster, keys, sounds, clock, random, "."};
  SceneWorld() { BuildScene(frm); }
  tb::Thing& At(size_t i) { return *frm.ThingCollection.Items().at(i); }
};

std::vector<std::string> FieldNames(const tb::Thing& t) {
  std::vector<std::string> names;
  t.VisitFields([&](const char* n, const auto&) { names.push_back(n); });
  return names;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Script parser

TEST(SimScript, RangesSingleTicksAndEscape) {
  Script s;
  std::string err;
  ASSERT_TRUE(
      ParseScript("1-10 Green.Forward Red.Fire\n5 0x44\n\n7-7 Blue.Left 0Xff\n9 esc\n", s, err))
      << err;
  ASSERT_EQ(s.directives.size(), 4u);
  EXPECT_EQ(s.directives[0].first, 1);
  EXPECT_EQ(s.directives[0].last, 10);
  EXPECT_EQ(s.directives[0].keys, (std::vector<uint8_t>{0x57, 0x4F}));
  EXPECT_EQ(s.directives[1].first, 5);
  EXPECT_EQ(s.directives[1].last, 5);
  EXPECT_EQ(s.directives[1].keys, (std::vector<uint8_t>{0x44}));
  EXPECT_EQ(s.directives[2].keys, (std::vector<uint8_t>{0x25, 0xFF}));
  EXPECT_EQ(s.directives[2].line, 4);
  EXPECT_TRUE(s.directives[3].escape);
  EXPECT_EQ(s.directives[3].first, 9);
  EXPECT_TRUE(s.directives[3].keys.empty());
  EXPECT_FALSE(s.directives[0].escape);
}

TEST(SimScript, EveryPlayerControlHasItsKeyCode) {
  const std::pair<const char*, uint8_t> table[] = {
      {"Green.Right", 0x44},     {"Green.Left", 0x41},    {"Green.Forward", 0x57},
      {"Green.Backward", 0x53},  {"Green.Fire", 0x45},    {"Red.Right", 0x4C},
      {"Red.Left", 0x4A},        {"Red.Forward", 0x49},   {"Red.Backward", 0x4B},
      {"Red.Fire", 0x4F},        {"Blue.Right", 0x27},    {"Blue.Left", 0x25},
      {"Blue.Forward", 0x26},    {"Blue.Backward", 0x28}, {"Blue.Fire", 0x60},
      {"Yellow.Right", 0x66},    {"Yellow.Left", 0x64},   {"Yellow.Forward", 0x68},
      {"Yellow.Backward", 0x65}, {"Yellow.Fire", 0x69},
  };
  for (const auto& [name, code] : table) {
    uint8_t got = 0;
    ASSERT_TRUE(KeyCodeFromName(name, got)) << name;
    EXPECT_EQ(got, code) << name;
  }
  uint8_t got = 0;
  EXPECT_TRUE(KeyCodeFromName("yellow.fire", got));
  EXPECT_EQ(got, 0x69);
  EXPECT_TRUE(KeyCodeFromName("0x0", got));
  EXPECT_EQ(got, 0);
  for (const char* bad : {"Green", "Green.", ".Fire", "Purple.Fire", "Green.Jump", "0x", "0x1G",
                          "0x100", "44", "Green.Fire.Fire"}) {
    EXPECT_FALSE(KeyCodeFromName(bad, got)) << bad;
  }
}

TEST(SimScript, CommentsBlankLinesAndWindowsLineEnds) {
  Script s;
  std::string err;
  ASSERT_TRUE(
      ParseScript("# intro\n   \n\t# indented comment\r\n3 Green.Fire # trailing\r\n"
                  "4\tRed.Fire\t0x41   \n",
                  s, err))
      << err;
  ASSERT_EQ(s.directives.size(), 2u);
  EXPECT_EQ(s.directives[0].line, 4);
  EXPECT_EQ(s.directives[0].keys, (std::vector<uint8_t>{0x45}));
  EXPECT_EQ(s.directives[1].keys, (std::vector<uint8_t>{0x4F, 0x41}));
  EXPECT_TRUE(ParseScript("", s, err));
  EXPECT_TRUE(s.directives.empty());
}

TEST(SimScript, EachErrorNamesItsLine) {
  struct Case {
    const char* text;
    const char* expectedPrefix;
    const char* mentions;
  };
  const Case cases[] = {
      {"1 Green.Fire\n5-\n", "script:2: ", "bad tick"},
      {"10-5 Green.Fire\n", "script:1: ", "ends before it starts"},
      {"\n\n1 Green.Jump\n", "script:3: ", "unknown key 'Green.Jump'"},
      {"abc Green.Fire\n", "script:1: ", "bad tick 'abc'"},
      {"# c\n0 Green.Fire\n", "script:2: ", "count from 1"},
      {"4\n", "script:1: ", "no keys"},
      {"4 # only a comment\n", "script:1: ", "no keys"},
      {"1-5 esc\n", "script:1: ", "single tick"},
      {"1 0x100\n", "script:1: ", "unknown key"},
      {"-5 Green.Fire\n", "script:1: ", "bad tick"},
      {"+5 Green.Fire\n", "script:1: ", "bad tick"},
      {"1-2-3 Green.Fire\n", "script:1: ", "bad tick"},
      {"1 Green.Fire\n2 Red.Fire\n3 Blue.Fire Nope\n", "script:3: ", "'Nope'"},
  };
  for (const Case& c : cases) {
    Script s;
    std::string err;
    EXPECT_FALSE(ParseScript(c.text, s, err)) << c.text;
    EXPECT_EQ(err.rfind(c.expectedPrefix, 0), 0u) << c.text << " -> " << err;
    EXPECT_NE(err.find(c.mentions), std::string::npos) << c.text << " -> " << err;
  }
}

TEST(SimScript, HugeNumbersAreRejectedNotWrapped) {
  Script s;
  std::string err;
  ASSERT_TRUE(ParseScript("1000000000 Green.Fire\n1-1000000000 Red.Fire\n", s, err)) << err;
  EXPECT_EQ(s.directives[1].last, kMaxTick);
  for (const char* text :
       {"1000000001 Green.Fire", "1-1000000001 Green.Fire", "18446744073709551616 Green.Fire",
        "18446744073709551617-1 Green.Fire", "4294967297 Green.Fire",
        "99999999999999999999999999999999999999 Green.Fire"}) {
    EXPECT_FALSE(ParseScript(text, s, err)) << text;
    EXPECT_NE(err.find("too large"), std::string::npos) << err;
  }
  uint64_t v = 0;
  EXPECT_TRUE(ParseWholeNumber("18446744073709551615", UINT64_MAX, v));
  EXPECT_EQ(v, UINT64_MAX);
  EXPECT_FALSE(ParseWholeNumber("18446744073709551616", UINT64_MAX, v));
  EXPECT_FALSE(ParseWholeNumber("", 10, v));
  EXPECT_TRUE(ParseWholeNumber("0010", 10, v));
  EXPECT_EQ(v, 10u);
  EXPECT_FALSE(ParseWholeNumber("11", 10, v));
}

// ---------------------------------------------------------------------------------------
// Script cursor and the stand-ins

TEST(SimCursor, AgreesWithAPlainScanOverlapsIncluded) {
  tb::Pcg32 rng(99, true);
  for (int round = 0; round < 40; ++round) {
    std::string text;
    for (int i = 0; i < 12; ++i) {
      int a = 1 + static_cast<int>(rng.Next() % 60);
      int b = a + static_cast<int>(rng.Next() % 15);
      text += std::to_string(a) + "-" + std::to_string(b) + " 0x" +
              std::to_string(40 + rng.Next() % 6) + "\n";
      if (rng.Next() % 5 == 0) text += std::to_string(a) + " esc\n";
    }
    Script s;
    std::string err;
    ASSERT_TRUE(ParseScript(text, s, err)) << err;
    ScriptCursor cursor(s);
    for (int64_t t = 1; t <= 90; ++t) {
      KeySet held;
      bool esc = cursor.Advance(t, held);
      ASSERT_EQ(held, KeysAt(s, t)) << "tick " << t << "\n" << text;
      ASSERT_EQ(esc, EscapeAt(s, t)) << "tick " << t;
    }
  }
}

TEST(SimCursor, KeyHeldByTwoDirectivesStaysUntilTheLaterEnds) {
  Script s;
  std::string err;
  ASSERT_TRUE(ParseScript("1-3 Green.Fire\n2-5 Green.Fire\n", s, err));
  ScriptCursor cursor(s);
  KeySet held;
  for (int64_t t = 1; t <= 6; ++t) {
    cursor.Advance(t, held);
    EXPECT_EQ(held.test(0x45), t <= 5) << t;
  }
}

// ---------------------------------------------------------------------------------------
// Field access, dump and hash

TEST(SimDump, FloatsRoundTripExactlyAndNonFiniteIsNull) {
  auto text = [](float f) {
    std::string s;
    AppendJsonFloat(s, f);
    return s;
  };
  EXPECT_EQ(text(0.1f), "0.1");
  EXPECT_EQ(text(8.0f), "8");
  EXPECT_EQ(text(-2.5f), "-2.5");
  EXPECT_EQ(text(std::numeric_limits<float>::infinity()), "null");
  EXPECT_EQ(text(-std::numeric_limits<float>::infinity()), "null");
  EXPECT_EQ(text(std::nanf("")), "null");
  tb::Pcg32 rng(5, true);
  for (int i = 0; i < 20000; ++i) {
    uint32_t bits = rng.Next();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (!std::isfinite(f)) continue;
    std::string s = text(f);
    // Readers parse JSON numbers as double; the float must survive that too.
    float back = static_cast<float>(nlohmann::json::parse(s).get<double>());
    uint32_t backBits;
    std::memcpy(&backBits, &back, sizeof back);
    ASSERT_EQ(backBits, bits) << s;
  }
}

// The snprintf text, used where the standard library has no floating-point to_chars, is
// to_chars' own shortest text for every kind of float.
TEST(SimDump, PrintfFallbackWritesWhatToCharsWrites) {
  auto reference = [](float f) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, f);
    return std::string(buf, res.ptr);
  };
  for (float f : {0.0f, -0.0f, 1.0f, 0.1f, 1e20f, 1e-5f, 123456789.0f, 16777216.0f, 3.4e38f,
                  1.4e-45f, 100.0f, 1234567.0f, 0.001f})
    EXPECT_EQ(ShortestFloatByPrintf(f), reference(f)) << f;
  tb::Pcg32 rng(9, true);
  for (int i = 0; i < 200000; ++i) {
    const uint32_t bits = rng.Next();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (!std::isfinite(f)) continue;
    ASSERT_EQ(ShortestFloatByPrintf(f), reference(f)) << bits;
  }
  // Whole numbers and simple fractions, as positions and speeds often are.
  for (int i = -20000; i <= 20000; ++i) {
    const float f = static_cast<float>(i) / 8.0f;
    ASSERT_EQ(ShortestFloatByPrintf(f), reference(f)) << f;
  }
}

TEST(SimHash, StableAndChangedByEveryField) {
  SceneWorld a, b;
  const uint64_t base = WorldHash(a.frm, a.raster.Caption());
  EXPECT_EQ(base, WorldHash(b.frm, b.raster.Caption()));
  EXPECT_EQ(HashHex(base).size(), 16u);
  EXPECT_EQ(HashHex(0x0123456789abcdefULL), "0123456789abcdef");

  // Change each field of one vehicle in turn, in a fresh world each time.
  const std::vector<std::string> names = FieldNames(a.At(5));
  for (const std::string& name : names) {
    for (int variant = 0; variant < 2; ++variant) {
      SceneWorld w;
      bool changed = false;
      w.At(5).VisitFields([&](const char* n, auto& f) {
        using T = std::decay_t<decltype(f)>;
        if (name != n) return;
        changed = true;
        if constexpr (std::is_same_v<T, float>) {
          f = variant == 0 ? std::nextafter(f, 1e9f) : (f == 0 ? -f : 2 * f);  // -0 counts
        } else if constexpr (std::is_same_v<T, bool>) {
          f = !f;
        } else if constexpr (std::is_same_v<T, int32_t>) {
          f += variant == 0 ? 1 : -65536;
        } else if constexpr (std::is_same_v<T, std::string>) {
          f += variant == 0 ? std::string("x") : std::string(1, '\0');
        } else {
          f[variant == 0 ? 1 : 4] += 1;  // first and last corner both count
        }
      });
      ASSERT_TRUE(changed);
      EXPECT_NE(WorldHash(w.frm, w.raster.Caption()), base) << name << " variant " << variant;
    }
  }
  SceneWorld c;
  c.raster.SetCaption("2");
  EXPECT_NE(WorldHash(c.frm, c.raster.Caption()), base);
}

// ---------------------------------------------------------------------------------------
// PNG writer and scene

TEST(SimPng, WrittenPixelsReadBackExactly) {
  tb::Raster r(9, 7);
  r.Clear();
  r.SetPenWidth(1);
  r.PlotPoint(2, 2, 0x123456);
  r.PlotPoint(6, 4, 0xABCDEF);
  r.DrawLine(0, 6, 8, 6, 0x00FF80);
  const std::string path = TempDir() + "roundtrip.png";
  std::string err;
  ASSERT_TRUE(WritePng(r, path, err)) << err;
  Image img;
  ASSERT_TRUE(ReadPng(path, img)) << "not an 8-bit RGB PNG";
  ASSERT_EQ(img.width, 9);
  ASSERT_EQ(img.height, 7);
  std::vector<uint32_t> seen;
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 9; ++x) {
      uint32_t v = r.PixelAt(x, y);
      const uint8_t* p = &img.rgb[(static_cast<size_t>(y) * 9 + x) * 3];
      ASSERT_EQ(p[0], v & 255) << x << "," << y;
      ASSERT_EQ(p[1], (v >> 8) & 255) << x << "," << y;
      ASSERT_EQ(p[2], (v >> 16) & 255) << x << "," << y;
      if (std::find(seen.begin(), seen.end(), v) == seen.end()) seen.push_back(v);
    }
  }
  EXPECT_GE(seen.size(), 3u) << "the raster should hold several colours for a real check";

  EXPECT_FALSE(WritePng(r, TempDir() + "no/such/dir/x.png", err));
  EXPECT_NE(err.find("no/such/dir"), std::string::npos);
}

// ---------------------------------------------------------------------------------------
// The executable

TEST(SimExe, DefaultOutputIsOneObjectPerThing) {
  RunResult r = RunExe("--seed 3 --ticks 5");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_GE(lines.size(), 8u + 3u + 1u);  // vehicles and walls, 3+ blocks, 1+ ball
  SceneWorld w;
  const std::vector<std::string> names = FieldNames(w.At(0));
  for (size_t i = 0; i < lines.size(); ++i) {
    nlohmann::ordered_json j = nlohmann::ordered_json::parse(lines[i]);
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
    ASSERT_EQ(keys, names) << lines[i];
    if (i < 8) {
      EXPECT_EQ(j["ID"], "ID" + std::to_string(i + 1));
    }
  }
  // The executable is the library: same bytes in process.
  EXPECT_EQ(RunInProcess({"--seed", "3", "--ticks", "5"}).out, r.out);
}

TEST(SimExe, SameArgumentsSameBytesOtherSeedOtherWorld) {
  const std::string script = TempDir() + "drive.txt";
  WriteText(script, "1-60 Green.Forward Red.Right\n30 Green.Fire Blue.Fire\n61-90 0x57 0x4C\n");
  const std::string args =
      "--ticks 120 --script '" + script + "' --sounds --dump-every 40 --caption";
  RunResult a = RunExe("--seed 7 " + args);
  RunResult b = RunExe("--seed 7 " + args);
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_FALSE(a.out.empty());
  EXPECT_EQ(a.out, b.out);
  RunResult c = RunExe("--seed 8 " + args);
  ASSERT_EQ(c.status, 0) << c.err;
  EXPECT_NE(a.out, c.out);

  std::vector<std::string> lines = Lines(a.out);
  EXPECT_EQ(lines.back().rfind("{\"caption\":", 0), 0u);
  int gunAt30 = 0;
  int64_t lastTick = 0;
  for (const std::string& line : lines) {
    nlohmann::json j = nlohmann::json::parse(line);
    if (j.contains("sound")) {
      EXPECT_GT(j["tick"].get<int64_t>(), lastTick) << "sounds come before their tick's dump";
      gunAt30 +=
          j["tick"] == 30 && j["sound"].get<std::string>().rfind("./Sounds/guns/gun", 0) == 0;
    } else if (j.contains("ID")) {
      lastTick = j["tick"];
      EXPECT_EQ(lastTick % 40, 0);
    }
  }
  EXPECT_EQ(gunAt30, 2) << "Green and Blue each fire once on tick 30";
  EXPECT_EQ(lastTick, 120);
}

TEST(SimExe, EscapeEndsTheRunBeforeItsTick) {
  const std::string script = TempDir() + "esc.txt";
  WriteText(script, "1-100 Green.Forward\n4 esc\n");
  RunResult r = RunInProcess({"--ticks", "50", "--script", script, "--dump-every", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<int64_t> ticks;
  for (const std::string& line : Lines(r.out)) {
    int64_t t = nlohmann::json::parse(line)["tick"];
    if (ticks.empty() || ticks.back() != t) ticks.push_back(t);
  }
  EXPECT_EQ(ticks, (std::vector<int64_t>{3}));  // tick 3 dumped on schedule, 4 never ran
  WriteText(script, "1 esc\n");
  r = RunInProcess({"--ticks", "50", "--script", script});
  EXPECT_EQ(r.out, "") << "nothing is built before the first tick";
}

TEST(SimExe, HashIsStableAndFollowsTheWorld) {
  RunResult a = RunExe("--seed 11 --ticks 60 --hash");
  RunResult b = RunExe("--seed 11 --ticks 60 --hash --sounds --caption");
  RunResult c = RunExe("--seed 11 --ticks 61 --hash");
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(a.out.size(), 17u) << a.out;
  EXPECT_EQ(a.out.find_first_not_of("0123456789abcdef"), 16u);
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out, c.out);
}

TEST(SimExe, BadArgumentsExitWithStatusTwo) {
  const std::string badScript = TempDir() + "bad.txt";
  WriteText(badScript, "1 Green.Fire\n2-1 Red.Fire\n");
  const std::pair<std::string, std::string> cases[] = {
      {"--ticks abc", "--ticks"},
      {"--ticks 1000000001", "--ticks"},
      {"--seed -1", "--seed"},
      {"--seed 18446744073709551616", "--seed"},
      {"--width 0", "--width"},
      {"--height 4097", "--height"},
      {"--dump-every 0", "--dump-every"},
      {"--clock-start 86400", "--clock-start"},
      {"--clock-start nan", "--clock-start"},
      {"--ticks", "--ticks"},
      {"--frobnicate", "--frobnicate"},
      {"--png 5:x.png --ticks 4", "--png"},
      {"--png nocolon", "--png"},
      {"--hash=1", "--hash"},
      {"--script " + TempDir() + "missing.txt", "missing.txt"},
      {"--script '" + badScript + "'", "script:2:"},
  };
  for (const auto& [args, mention] : cases) {
    RunResult r = RunExe(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find(mention), std::string::npos) << args << " -> " << r.err;
  }
  // A script that is no readable text file of a sane size: one line naming it, nothing else.
  const std::string big = TempDir() + "big.script";
  {
    std::ofstream out(big, std::ios::binary);
    const std::string comments(1 << 20, '#');
    for (int i = 0; i <= 64; ++i) out << comments;
  }
  const std::pair<std::string, std::string> unreadable[] = {
      {TempDir(), "is a directory"},
      {"/dev/zero", "larger than 64 MiB"},
      {big, "larger than 64 MiB"},
      {"/proc/self/mem", "cannot read"},
      {TempDir() + "missing.txt", "No such file"},
  };
  for (const auto& [path, mention] : unreadable) {
    RunResult r = RunExe("--script '" + path + "'");
    EXPECT_EQ(r.status, 2) << path;
    EXPECT_EQ(r.out, "") << path;
    EXPECT_NE(r.err.find(mention), std::string::npos) << path << " -> " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  std::remove(big.c_str());

  RunResult help = RunExe("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* opt :
       {"--seed", "--ticks", "--clock-start", "--script", "--width", "--height", "--dump-every",
        "--sounds", "--caption", "--png", "--hash", "--scene", "--exe-folder", "--help"}) {
    EXPECT_NE(help.out.find(opt), std::string::npos) << opt;
  }
  EXPECT_EQ(RunInProcess({"--ticks=2", "--seed=4"}).out,
            RunInProcess({"--ticks", "2", "--seed", "4"}).out);
}
