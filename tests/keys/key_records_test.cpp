// Byte layouts of the assignment record, the key table block and the macro
// record, and the table resets.
#include <gtest/gtest.h>

#include <numeric>

#include "keys/key_assignment.h"
#include "keys/macro_record.h"

namespace keyloom::keys {
namespace {

TEST(KeyAssignmentBytes, FieldsAreLittleEndianAtTheirOffsets) {
  const KeyAssignment record{0x0004, 0x0302, 0x11223344, 0x55667788, 0x99AABBCC};
  std::array<std::uint8_t, 16> bytes{};
  WriteKeyAssignment(record, bytes);
  const std::array<std::uint8_t, 16> expected = {0x04, 0x00, 0x02, 0x03, 0x44, 0x33, 0x22, 0x11,
                                                 0x88, 0x77, 0x66, 0x55, 0xCC, 0xBB, 0xAA, 0x99};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(ReadKeyAssignment(bytes), record);
}

TEST(KeyTableBlock, RoundTripsAndPlacesTablesAfterTheHeaders) {
  KeyTableBlock block;
  std::iota(block.headers.begin(), block.headers.end(), std::uint8_t{1});
  block.tables[0][0] = {2, 0, 0x1E, 0, 0};
  block.tables[3][511] = {8, 0, 10, 1, 0};
  block.tables[1][256] = {4, 5, 7, 0, 0};
  const std::vector<std::uint8_t> bytes = block.ToBytes();
  ASSERT_EQ(bytes.size(), 32832u);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[63], 64);
  EXPECT_EQ(bytes[64], 2);                             // table 0, record 0, kind
  EXPECT_EQ(bytes[64 + 8192 + 256 * 16], 4);           // table 1, record 256
  EXPECT_EQ(bytes[64 + 3 * 8192 + 511 * 16], 8);       // the last record
  KeyTableBlock read;
  ASSERT_TRUE(read.ReadFrom(bytes));
  EXPECT_EQ(read.headers, block.headers);
  EXPECT_EQ(read.tables, block.tables);

  KeyTableBlock untouched;
  EXPECT_FALSE(untouched.ReadFrom(std::span(bytes).first(32831)));
  EXPECT_EQ(untouched.tables[0][0], KeyAssignment{});
}

TEST(KeyTables, ResetWritesGKeyIdentifiers) {
  KeyTableBlock block;
  for (auto& table : block.tables) table.fill(KeyAssignment{4, 9, 9, 9, 9});
  block.headers.fill(0xAB);
  ResetKeyTables(block);
  for (int i = 0; i < kRecordsPerTable; ++i) {
    std::uint16_t id = 0;
    if (i >= 256 && i <= 264) id = static_cast<std::uint16_t>(0x0301 + (i - 256));
    if (i >= 265 && i <= 273) id = static_cast<std::uint16_t>(0x1301 + (i - 265));
    EXPECT_EQ(block.tables[0][i], (KeyAssignment{0, id, 0, 0, 0})) << i;
    for (int p = 1; p < 4; ++p) EXPECT_EQ(block.tables[p][i], KeyAssignment{}) << p << "/" << i;
  }
  EXPECT_EQ(block.headers[0], 0xAB);  // the headers belong to the profile file

  AssignmentTable table;
  table.fill(KeyAssignment{1, 1, 1, 1, 1});
  ResetKeyTable(table);
  EXPECT_EQ(table[256].param, 0x0301);
  EXPECT_EQ(table[273].param, 0x1309);
  EXPECT_EQ(table[274], KeyAssignment{});
  EXPECT_EQ(table[255], KeyAssignment{});
  EXPECT_EQ(GKeyRecordIndex(0, 1), 265);
  EXPECT_EQ(GKeyIdentifierOfRecord(255), 0);
  EXPECT_EQ(GKeyIdentifierOfRecord(274), 0);
}

TEST(KeyTables, AssignmentsAsTheDialogBuildsThem) {
  struct Case {
    int record;
    KeyKind kind;
    std::uint32_t value;
    std::uint8_t cycles;
    KeyAssignment expected;
  };
  const Case cases[] = {
      {0x1E, KeyKind::SingleKey, 0x30, 1, {2, 0, 0x30, 0, 0}},
      {0x1E, KeyKind::Macro, 7, 12, {4, 12, 7, 0, 0}},
      {256, KeyKind::Media, 3, 1, {7, 0x0301, 3, 0, 0}},
      {273, KeyKind::Default, 0, 1, {0, 0x1309, 0, 0, 0}},
      {265, KeyKind::Macro, 2, 255, {4, 255, 2, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(MakeAssignment(c.record, c.kind, c.value, c.cycles), c.expected) << c.record;
}

MacroRecord SampleMacro() {
  MacroRecord macro;
  macro.name = u"Combo \u00e9";
  macro.cycles = 3;
  macro.isNew = 1;
  macro.id = 42;
  macro.actions = {{300, 0x01E, kPress}, {0, 0x01E, kRelease}};
  return macro;
}

TEST(MacroRecordBytes, FieldsAtTheirOffsets) {
  const std::vector<std::uint8_t> bytes = MacroRecordBytes(SampleMacro());
  ASSERT_EQ(bytes.size(), 32512u);
  EXPECT_EQ(bytes[0], 'C');
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[12], 0xE9);     // the seventh unit
  EXPECT_EQ(bytes[14], 0);        // terminator
  EXPECT_EQ(bytes[500], 3);       // cycles
  EXPECT_EQ(bytes[502], 1);       // isNew
  EXPECT_EQ(bytes[506], 42);      // id
  EXPECT_EQ(bytes[508], 2);       // actionCount
  const std::vector<std::uint8_t> firstAction(bytes.begin() + 512, bytes.begin() + 520);
  EXPECT_EQ(firstAction, (std::vector<std::uint8_t>{0x2C, 0x01, 0, 0, 0x1E, 0, 0, 0}));
  EXPECT_EQ(bytes[526], 1);       // second action's state
  EXPECT_EQ(bytes[528], 0);       // nothing after the last action

  MacroRecord read;
  ASSERT_TRUE(ReadMacroRecord(bytes, read));
  EXPECT_EQ(read, SampleMacro());
}

TEST(MacroRecordBytes, ReadingIsBoundedAndNormalises) {
  std::vector<std::uint8_t> bytes(32512, 0x41);  // no terminator anywhere, counts far too high
  bytes[508] = 0xFF;
  bytes[509] = 0xFF;
  MacroRecord read;
  ASSERT_TRUE(ReadMacroRecord(bytes, read));
  EXPECT_EQ(read.name.size(), 249u);
  EXPECT_EQ(read.actions.size(), 4000u);
  EXPECT_EQ(read.actions.back().state, kPress);  // 0x4141 is stored as a press
  EXPECT_EQ(read.actions.back().delay, 0x41414141u);

  MacroRecord untouched = SampleMacro();
  EXPECT_FALSE(ReadMacroRecord(std::span(bytes).first(32511), untouched));
  EXPECT_EQ(untouched, SampleMacro());

  // Written back, the record keeps its terminator and stays within its field.
  const std::vector<std::uint8_t> again = MacroRecordBytes(read);
  EXPECT_EQ(again[498], 0);
  EXPECT_EQ(again[499], 0);
}

TEST(MacroRecordLimits, NamesAndActions) {
  MacroRecord macro;
  SetMacroName(macro, std::u16string(300, u'n'));
  EXPECT_EQ(macro.name.size(), 249u);
  for (std::size_t i = 0; i < 4000; ++i) ASSERT_TRUE(AppendMacroAction(macro, {10, 0x01E, 7}));
  EXPECT_EQ(macro.actions[0].state, kPress);  // other states are stored as a press
  EXPECT_FALSE(AppendMacroAction(macro, {10, 0x01E, kRelease}));
  EXPECT_EQ(macro.actions.size(), 4000u);
  EXPECT_EQ(ClampMacroCycles(-5), 1);
  EXPECT_EQ(ClampMacroCycles(0), 1);
  EXPECT_EQ(ClampMacroCycles(255), 255);
  EXPECT_EQ(ClampMacroCycles(256), 255);
  EXPECT_EQ(MacroStateText(kPress), u"\u2193");
  EXPECT_EQ(MacroStateText(kRelease), u"  \u2191");
}

}  // namespace
}  // namespace keyloom::keys
