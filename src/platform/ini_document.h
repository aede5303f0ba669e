#pragma once
// One INI file in memory: its bytes, their encoding, its lines and an index
// of sections and keys. Parsing accepts any bytes. Edits produce the new
// file bytes in the file's own encoding: the text of every other line is
// copied as it was, and every line ends with CR LF (the last one too), as
// the Windows functions write them. ini.cpp adds files, caching and atomic
// replacement on top.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace keyloom::ini {

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16Be };

class Document {
 public:
  // A file's bytes: "FF FE" is UTF-16LE, "FE FF" UTF-16BE, "EF BB BF"
  // UTF-8 with BOM, anything else UTF-8 (so ASCII). A UTF-16 file's odd last
  // byte is no character and is dropped.
  static Document Parse(std::string bytes);
  // A file that does not exist yet and will be written in `encoding`.
  static Document Empty(Encoding encoding);

  Encoding encoding() const { return encoding_; }
  // The bytes it was parsed from (a UTF-16 file's odd last byte dropped).
  const std::string& bytes() const { return bytes_; }

  // The value of `key` in `section` (first of duplicates, ignoring case,
  // blanks around both names ignored), trimmed and with matching quotes
  // stripped; nullptr when missing. A NUL ends a line of the file and a name
  // asked for, as in a C string.
  const std::u16string* Find(std::u16string_view section, std::u16string_view key) const;
  std::vector<std::u16string> KeyNames(std::u16string_view section) const;
  std::vector<std::u16string> SectionNames() const;

  // The file's bytes after setting key = value. A new section goes at the
  // end of the file, a new key after its section's last key. A value with
  // outer blanks or matching outer quotes is written in quotes, so that it
  // reads back whole. Empty when the names or the value cannot be written
  // without changing the file's structure (a line break anywhere, an empty
  // or '='-holding key, a ']' in the section name). An empty section name
  // is written as "[]".
  std::optional<std::string> WithValue(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view value) const;
  // The file's bytes without the key (every copy of it in the first section
  // of that name) or, for an empty key, without every section of that name.
  // Empty when there was nothing to remove.
  std::optional<std::string> Without(std::u16string_view section, std::u16string_view key) const;

 private:
  struct Line {
    std::size_t begin = 0;    // byte offset of the text
    std::size_t end = 0;      // end of the text, start of the line break
    std::size_t next = 0;     // end of the line break
  };
  struct Entry {
    std::u16string key;       // as written, trimmed
    std::u16string value;     // trimmed, quotes stripped
    std::size_t line = 0;
  };
  struct Section {
    std::u16string name;
    std::size_t header_line = 0;
    std::size_t end_line = 0;        // one past its last line
    std::size_t last_key_line = 0;   // header_line when it has no keys
    std::vector<Entry> entries;
    std::unordered_map<std::u16string, std::size_t> keys;  // upper-case key -> first entry
  };

  void Index();
  const Section* FindSection(std::u16string_view name) const;
  std::string Encode(std::u16string_view text) const;
  std::u16string Decode(std::size_t begin, std::size_t end) const;
  std::string Eol() const;  // CR LF in the file's encoding
  void AppendLine(std::string& out, std::size_t line) const;  // its text and CR LF

  Encoding encoding_ = Encoding::Utf8;
  std::string bytes_;
  std::size_t body_ = 0;  // first byte after the BOM
  std::vector<Line> lines_;
  std::vector<Section> sections_;
  std::unordered_map<std::u16string, std::size_t> section_index_;  // upper-case name -> first
};

}  // namespace keyloom::ini
