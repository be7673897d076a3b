// The one command definition: its shape, the record layouts the compiler
// and the engine rely on, and the generated reference in docs/.
#include "script/command_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "dorov/command_docs.h"

namespace vv::script {
namespace {

TEST(CommandTable, NinetyOneSlotsWithUniqueNames) {
  const auto table = CommandTable();
  ASSERT_EQ(table.size(), static_cast<size_t>(kCommandSlots));
  std::set<std::string_view> names;
  for (size_t i = 0; i < table.size(); ++i) {
    const CommandSpec& c = table[i];
    EXPECT_EQ(c.index, i);
    EXPECT_TRUE(names.insert(c.name).second) << c.name;
    EXPECT_EQ(c.bound, !c.handler.empty()) << c.name;
    if (!c.bound) {
      EXPECT_TRUE(c.args.empty()) << c.name;
    }
    EXPECT_EQ(FindCommand(c.name), &c);
    // argument preparation keeps 95 records of ids below 96
    EXPECT_LE(c.args.size(), 96u) << c.name;
    std::set<std::string_view> argNames;
    for (size_t id = 0; id < c.args.size(); ++id) {
      const ArgumentSpec& a = c.args[id];
      EXPECT_TRUE(argNames.insert(a.name).second) << c.name << " " << a.name;
      EXPECT_LT(a.checkKind, kCheckKinds) << c.name << " " << a.name;
      EXPECT_EQ(FindArgument(c, a.name), a.role == ArgRole::kUnused ? -1 : static_cast<int>(id));
      // records that carry code positions or nothing must never be evaluated
      if (a.role == ArgRole::kPosition || a.role == ArgRole::kUnused) {
        EXPECT_EQ(a.valueClass, kLeftAlone) << c.name << " " << a.name;
        EXPECT_EQ(a.checkKind, 0) << c.name << " " << a.name;
      }
      if (a.role == ArgRole::kOutput || a.role == ArgRole::kSelector) {
        EXPECT_EQ(a.valueClass, kNumberValue);
      }
      if (a.role == ArgRole::kLabel) {
        EXPECT_EQ(a.valueClass, kTextValue);
      }
      if (a.withOperator) {
        EXPECT_EQ(a.valueClass, kNumberValue) << c.name << " " << a.name;
      }
    }
  }
  for (int unbound : {20, 21, 22, 23, 41, 60, 85, 86, 87, 88, 89, 90}) EXPECT_FALSE(table[unbound].bound) << unbound;
}

TEST(CommandTable, RecordLayoutsOfTheControlCommands) {
  const auto t = CommandTable();
  auto roles = [&](int index) {
    std::vector<ArgRole> out;
    for (const auto& a : t[index].args) out.push_back(a.role);
    return out;
  };
  // block: condition, else position, end position; conditional else the same
  EXPECT_EQ(roles(26), (std::vector<ArgRole>{ArgRole::kValue, ArgRole::kPosition, ArgRole::kPosition}));
  EXPECT_EQ(roles(7), roles(26));
  // counted loop: count, end position
  EXPECT_EQ(roles(37), (std::vector<ArgRole>{ArgRole::kValue, ArgRole::kPosition}));
  // declarations: the variable is read in declaration mode, never prepared
  for (int d : {16, 32, 68}) EXPECT_EQ(t[d].args[0].valueClass, kLeftAlone) << d;
  // call: label, then parameter i as an integer (id i), float (i + 8, raw)
  // or text (i + 16); return: value i at i - 1, i + 7, i + 15
  ASSERT_EQ(t[25].args.size(), 25u);
  ASSERT_EQ(t[54].args.size(), 24u);
  EXPECT_EQ(t[25].args[0].role, ArgRole::kLabel);
  for (int i = 1; i <= 8; ++i) {
    EXPECT_EQ(t[25].args[i].valueClass, kNumberValue);
    EXPECT_EQ(t[25].args[i + 8].valueClass, kRawValue);
    EXPECT_EQ(t[25].args[i + 16].valueClass, kTextValue);
    EXPECT_EQ(t[54].args[i - 1].valueClass, kNumberValue);
    EXPECT_EQ(t[54].args[i + 7].valueClass, kRawValue);
    EXPECT_EQ(t[54].args[i + 15].valueClass, kTextValue);
  }
  // the jump and the label test read the label as a text
  EXPECT_EQ(t[24].args[0].role, ArgRole::kLabel);
  EXPECT_EQ(t[34].args[0].role, ArgRole::kLabel);
  // option flags: ids 2..92 set flags 0..90
  ASSERT_EQ(t[9].args.size(), 93u);
  EXPECT_EQ(t[9].args[2].name, "flag0");
  EXPECT_EQ(t[9].args[92].name, "flag90");
  // the check command has one argument per range check
  ASSERT_EQ(t[10].args.size(), static_cast<size_t>(kCheckKinds));
  for (size_t k = 0; k < t[10].args.size(); ++k) EXPECT_EQ(t[10].args[k].checkKind, k);
  // the message commands the compiler writes for dialogue
  EXPECT_EQ(t[84].args[0].valueClass, kTextValue);
  EXPECT_EQ(t[79].args[0].valueClass, kRawValue);
  EXPECT_TRUE(t[56].args.empty());
  EXPECT_EQ(t[73].args[16].name, "clickWait");
  EXPECT_EQ(t[73].args[12].name, "lineFeed");
  EXPECT_EQ(t[73].args[13].name, "newPage");
  // no-operation commands carry no records
  for (int n : {33, 55, 64}) EXPECT_TRUE(t[n].args.empty()) << n;
}

TEST(CommandTable, CommittedReferenceIsCurrent) {
  std::ifstream in(std::string(VAVEVO_SOURCE_DIR) + "/docs/commands.md", std::ios::binary);
  ASSERT_TRUE(in) << "docs/commands.md is missing; write it with: dorov --command-docs docs/commands.md";
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_TRUE(ss.str() == dorov::CommandReferenceMarkdown())
      << "docs/commands.md is out of date; regenerate it with: dorov --command-docs docs/commands.md";
}

}  // namespace
}  // namespace vv::script
