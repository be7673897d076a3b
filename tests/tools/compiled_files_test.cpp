// The byte layouts of the files dorov writes, read back field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "common/checksum.h"
#include "common/encoding.h"
#include "compiled_reader.h"
#include "dorov/compiled_files.h"
#include "dorov/compiler.h"
#include "dorov/error_texts.h"
#include "dorov/symbols.h"
#include "script/command_table.h"

namespace vv::dorov {
namespace {

using testing::Le32;

struct LabelRec {
  std::string name;
  uint32_t crc;
  int32_t position;
  uint16_t file;
};

struct LabelFile {
  std::vector<int32_t> buckets;
  std::vector<LabelRec> labels;
};

LabelFile ReadLabels(const std::vector<uint8_t>& b) {
  LabelFile out;
  const uint32_t n = Le32(b, 8);
  for (int k = 0; k < 256; ++k) out.buckets.push_back(static_cast<int32_t>(Le32(b, 12 + 4 * static_cast<size_t>(k))));
  size_t p = 1036;
  for (uint32_t i = 0; i < n; ++i) {
    LabelRec l;
    const size_t len = b[p];
    l.name.assign(b.begin() + static_cast<long>(p) + 1, b.begin() + static_cast<long>(p + 1 + len));
    p += 1 + len;
    l.crc = Le32(b, p);
    l.position = static_cast<int32_t>(Le32(b, p + 4));
    l.file = static_cast<uint16_t>(b[p + 8] | b[p + 9] << 8);
    p += 12;
    out.labels.push_back(l);
  }
  EXPECT_EQ(p, b.size());
  return out;
}

// The engine's lookup: start at the bucket of the CRC's top byte (entry 0
// counts as 0), scan forward comparing the CRC, then the name.
int Lookup(const LabelFile& f, const std::string& name) {
  if (name.size() >= 256) return -1;
  const uint32_t crc = common::Crc32(name);
  const int32_t start = (crc >> 24) == 0 ? 0 : f.buckets[crc >> 24];
  for (int32_t i = start; i >= 0 && i < static_cast<int32_t>(f.labels.size()); ++i)
    if (f.labels[static_cast<size_t>(i)].crc == crc && f.labels[static_cast<size_t>(i)].name == name) return i;
  return -1;
}

TEST(LabelFile, SortedByCrcWithBucketsThatFindEveryLabel) {
  // Enough labels to fill many buckets, and two names with one CRC-32.
  std::string source = "*SYSTEM_START\n";
  std::vector<std::string> names = {"SYSTEM_START", "plumless", "buckeroo"};
  ASSERT_EQ(common::Crc32("plumless"), common::Crc32("buckeroo"));
  for (int i = 0; i < 400; ++i) names.push_back("scene" + std::to_string(i));
  for (size_t i = 1; i < names.size(); ++i) source += "*" + names[i] + "\n@wait " + std::to_string(i) + "\n";
  auto r = testing::MustCompile(source);
  const LabelFile f = ReadLabels(r.files.at("nvl.nbn"));
  ASSERT_EQ(f.labels.size(), names.size());
  for (size_t i = 1; i < f.labels.size(); ++i) EXPECT_LE(f.labels[i - 1].crc, f.labels[i].crc);
  // bucket k: the first label whose CRC's top byte is k or more
  for (uint32_t k = 0; k < 256; ++k) {
    int32_t want = static_cast<int32_t>(f.labels.size());
    for (size_t i = 0; i < f.labels.size(); ++i)
      if ((f.labels[i].crc >> 24) >= k) {
        want = static_cast<int32_t>(i);
        break;
      }
    EXPECT_EQ(f.buckets[k], want) << "bucket " << k;
  }
  const auto code = testing::CodeOf(r);
  for (size_t i = 0; i < names.size(); ++i) {
    const int at = Lookup(f, names[i]);
    ASSERT_GE(at, 0) << names[i];
    EXPECT_EQ(f.labels[static_cast<size_t>(at)].crc, common::Crc32(names[i]));
    // each label stands before its own wait (SYSTEM_START before the first)
    const int32_t position = f.labels[static_cast<size_t>(at)].position;
    auto cmd = std::find_if(code.begin(), code.end(), [&](const testing::Command& c) { return c.position == position; });
    ASSERT_NE(cmd, code.end());
    EXPECT_EQ(cmd->index, 80);
    EXPECT_EQ(cmd->records[0].expr[3], i == 0 ? 1 : static_cast<uint8_t>(i));
  }
  // equal CRCs keep the order of the sources
  const int plum = Lookup(f, "plumless"), buck = Lookup(f, "buckeroo");
  EXPECT_EQ(buck, plum + 1);
  EXPECT_EQ(Lookup(f, "SYSTEM_STAR"), -1);
}

TEST(ScriptFile, HeaderChecksumsAndScrambling) {
  auto r = testing::MustCompile("*SYSTEM_START\n@wait 30\n");
  const auto& file = r.files.at("nvt00000.nbn");
  ASSERT_GE(file.size(), 32u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "DOROVscr");
  const uint32_t c = Le32(file, 8), e = Le32(file, 12);
  // wait (one record) + quit
  EXPECT_EQ(c, 6u + 12 + 6);
  EXPECT_EQ(e, 4u);  // B 30
  ASSERT_EQ(file.size(), 32 + c + e);
  std::vector<uint8_t> code(file.begin() + 32, file.begin() + 32 + c), expr(file.begin() + 32 + c, file.end());
  const uint8_t key[4] = {0x97, 0x5C, 0xF6, 0xBB};
  for (size_t i = 0; i < code.size(); ++i) code[i] ^= key[i % 4];
  for (size_t i = 0; i < expr.size(); ++i) expr[i] ^= key[i % 4];  // each region from key byte 0
  EXPECT_EQ(code, (std::vector<uint8_t>{80, 1, 2, 0, 0, 0, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0, 8, 0, 2, 0, 0, 0}));
  EXPECT_EQ(expr, (std::vector<uint8_t>{'B', 1, 0, 30}));
  EXPECT_EQ(Le32(file, 16), common::Crc32(code));
  EXPECT_EQ(Le32(file, 20), common::Crc32(expr));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 24, file.begin() + 32), std::vector<uint8_t>(8, 0));
}

TEST(ScriptFile, EqualExpressionsAreStoredOnce) {
  auto r = testing::MustCompile("*SYSTEM_START\n@wait 30\n@wait 30\n@wait 31\n");
  const auto code = testing::CodeOf(r);
  EXPECT_EQ(code[0].records[0].offset, code[1].records[0].offset);
  EXPECT_NE(code[0].records[0].offset, code[2].records[0].offset);
  EXPECT_EQ(Le32(r.files.at("nvt00000.nbn"), 12), 8u);
}

TEST(OtherFiles, VariableTableFileListAndSettings) {
  shell::ConfigurationFile settings;
  settings.title = "\x83\x65\x83\x58\x83\x67";  // テスト
  settings.clientWidth = 800;
  const std::vector<SourceFile> sources = {{"a.vvs", "*SYSTEM_START\n@global int x\n"},
                                           {"章/二.vvs", "*two\n@file text t\n"}};
  auto r = CompileProject(sources, settings, CompileOptions{1234});
  ASSERT_TRUE(r.ok()) << r.ErrorText();
  const auto& nvt = r.files.at("nvt.nbn");
  ASSERT_EQ(nvt.size(), 16u);
  EXPECT_EQ(Le32(nvt, 4), 288u);
  EXPECT_EQ(Le32(nvt, 8), 1001u);
  EXPECT_EQ(Le32(nvt, 12), 1234u);

  const auto& list = r.files.at("nvt_list.nbn");
  EXPECT_EQ(Le32(list, 8), 2u);
  size_t p = 12;
  std::vector<std::string> names;
  for (uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(Le32(list, p), i);
    const uint32_t len = Le32(list, p + 4);
    names.emplace_back(list.begin() + static_cast<long>(p) + 8, list.begin() + static_cast<long>(p + 8 + len));
    EXPECT_EQ(std::vector<uint8_t>(list.begin() + static_cast<long>(p + 8 + len),
                                   list.begin() + static_cast<long>(p + 24 + len)),
              std::vector<uint8_t>(16, 0));
    p += 24 + len;
  }
  EXPECT_EQ(p, list.size());
  EXPECT_EQ(names[0], "a.vvs");
  EXPECT_EQ(names[1], *common::Utf8ToSjis("章\\二.vvs"));  // engine paths use '\', Shift-JIS
  EXPECT_TRUE(r.files.count("nvt00001.nbn"));
  EXPECT_EQ(r.files.at("nvcfg.nbn"), shell::EncodeConfiguration(settings));
}

TEST(OtherFiles, DeclarationFileCoversSystemSlotsThenScriptVariables) {
  auto r = testing::MustCompile("@global text g[2] = \"x\"\n@file int f = 3\n*SYSTEM_START\n");
  const auto& b = r.files.at("nvv.nbn");
  const size_t count = b[8] | b[9] << 8;
  const auto slots = SystemSlots();
  ASSERT_EQ(count, slots.size() + 2);
  size_t p = 10;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t scope = b[p];
    const uint16_t file = static_cast<uint16_t>(b[p + 1] | b[p + 2] << 8);
    const uint16_t var = static_cast<uint16_t>(b[p + 3] | b[p + 4] << 8);
    const uint8_t type = b[p + 5], dims = b[p + 6];
    p += 7;
    std::vector<int32_t> sizes;
    for (int d = 0; d < dims; ++d, p += 4) sizes.push_back(static_cast<int32_t>(Le32(b, p)));
    if (i < slots.size()) {
      EXPECT_EQ(scope, 1);
      EXPECT_EQ(var, slots[i].number);
      EXPECT_EQ(type, static_cast<uint8_t>(slots[i].type));
      EXPECT_EQ(sizes, slots[i].elements ? std::vector<int32_t>{slots[i].elements} : std::vector<int32_t>{});
    } else if (var == 1000) {
      EXPECT_EQ(scope, 1);
      EXPECT_EQ(type, 3);
      EXPECT_EQ(sizes, std::vector<int32_t>{2});
    } else {
      EXPECT_EQ(var, 1001);
      EXPECT_EQ(scope, 2);
      EXPECT_EQ(file, 0);
      EXPECT_EQ(type, 1);
      EXPECT_EQ(static_cast<int64_t>(Le32(b, p) | static_cast<uint64_t>(Le32(b, p + 4)) << 32), 3);
    }
    if (type == 3) {
      const size_t len = b[p] | b[p + 1] << 8;
      const std::string code(b.begin() + static_cast<long>(p) + 2, b.begin() + static_cast<long>(p + 2 + len));
      EXPECT_EQ(code, var == 1000 ? std::string("M\x03\x00\"x\"", 6) : std::string("M\x02\x00\"\"", 5));
      p += 2 + len;
    } else {
      p += 8;
    }
  }
  EXPECT_EQ(p, b.size());
  // the text system variables with elements are declared with enough of them
  for (const auto& s : slots)
    if (s.number == 12 || s.number == 36 || s.number == 40) {
      EXPECT_EQ(s.elements, 9);
    }
}

TEST(OtherFiles, CommandTableFileIsTheDefinition) {
  auto r = testing::MustCompile("*SYSTEM_START\n");
  const auto& b = r.files.at("nvc.nbn");
  EXPECT_EQ(Le32(b, 8), static_cast<uint32_t>(script::kCommandSlots));
  size_t p = 16;
  auto cstring = [&] {
    std::string s;
    while (p < b.size() && b[p] != 0) s += static_cast<char>(b[p++]);
    ++p;
    return s;
  };
  for (const auto& c : script::CommandTable()) {
    EXPECT_EQ(cstring(), c.name);
    ASSERT_EQ(b[p++], c.args.size()) << c.name;
    for (const auto& a : c.args) {
      EXPECT_EQ(cstring(), a.name) << c.name;
      EXPECT_EQ(b[p++], a.valueClass) << c.name << " " << a.name;
      EXPECT_EQ(b[p++], a.checkKind) << c.name << " " << a.name;
    }
  }
  const auto errors = FileErrorTexts();
  for (int i = 0; i < kFileErrorTexts; ++i) EXPECT_EQ(cstring(), errors[static_cast<size_t>(i)]);
  ASSERT_EQ(b.size() - p, 256u);
  const auto keyMap = BuildKeyMap();
  EXPECT_TRUE(std::equal(keyMap.begin(), keyMap.end(), b.begin() + static_cast<long>(p)));
  // held.enter is the hold counter of the key in its map entry
  const auto* enter = FindSystemVariable("held.enter");
  ASSERT_NE(enter, nullptr);
  EXPECT_EQ(keyMap[enter->number - kHeldKeysBase], 0x0D);
  EXPECT_EQ(FindSystemVariable("pressed.enter")->number - kPressedKeysBase, enter->number - kHeldKeysBase);
}

TEST(OtherFiles, ErrorTextFileHoldsJapaneseTextForEveryCode) {
  auto r = testing::MustCompile("*SYSTEM_START\n");
  const auto& b = r.files.at("nve.nbn");
  const uint32_t n = Le32(b, 8);
  EXPECT_LE(n, 256u);
  EXPECT_EQ(n, EngineErrorTextSources().size());
  size_t p = 16;
  std::set<int32_t> codes;
  for (uint32_t i = 0; i < n; ++i) {
    const auto code = static_cast<int32_t>(Le32(b, p));
    p += 4;
    std::string text;
    while (b[p] != 0) text += static_cast<char>(b[p++]);
    ++p;
    EXPECT_TRUE(codes.insert(code).second) << code;
    // converted exactly: nothing was lost on the way to Shift-JIS
    const auto& source = EngineErrorTextSources()[i];
    EXPECT_EQ(source.code, code);
    EXPECT_EQ(common::Utf8ToSjis(source.utf8), text) << code;
    EXPECT_FALSE(text.empty());
  }
  EXPECT_EQ(p, b.size());
  for (auto t : FileErrorTextSources()) EXPECT_TRUE(common::Utf8ToSjis(t)) << t;
  // a few codes every game needs (the script start, control flow, values)
  for (int32_t code : {101000, 101300, 101600, 105000, 105010, 107010, 108010, 108180, 160010, 900050, 900080})
    EXPECT_TRUE(codes.count(code)) << code;
}

}  // namespace
}  // namespace vv::dorov
