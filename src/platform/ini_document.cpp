#include "platform/ini_document.h"

#include "platform/text.h"

#include <algorithm>

namespace keyloom::ini {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

std::u16string_view StripQuotes(std::u16string_view s) {
  if (s.size() >= 2 && IsQuote(s.front()) && s.front() == s.back()) return s.substr(1, s.size() - 2);
  return s;
}

bool HasLineBreak(std::u16string_view s) {
  return s.find_first_of(u"\r\n") != std::u16string_view::npos;
}

// Text up to the first NUL: what a caller holding C strings would see.
std::u16string_view UpToNul(std::u16string_view s) {
  const auto nul = s.find(u'\0');
  return nul == std::u16string_view::npos ? s : s.substr(0, nul);
}

}  // namespace

Document Document::Parse(std::string bytes) {
  Document d;
  d.bytes_ = std::move(bytes);
  const auto* b = reinterpret_cast<const unsigned char*>(d.bytes_.data());
  const std::size_t n = d.bytes_.size();
  if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    d.encoding_ = Encoding::Utf16Le, d.body_ = 2;
  } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    d.encoding_ = Encoding::Utf16Be, d.body_ = 2;
  } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    d.encoding_ = Encoding::Utf8Bom, d.body_ = 3;
  }
  if ((d.encoding_ == Encoding::Utf16Le || d.encoding_ == Encoding::Utf16Be) && (n - d.body_) % 2)
    d.bytes_.pop_back();
  d.Index();
  return d;
}

Document Document::Empty(Encoding encoding) {
  std::string bom;
  switch (encoding) {
    case Encoding::Utf16Le: bom = "\xFF\xFE"; break;
    case Encoding::Utf16Be: bom = "\xFE\xFF"; break;
    case Encoding::Utf8Bom: bom = "\xEF\xBB\xBF"; break;
    case Encoding::Utf8: break;
  }
  return Parse(std::move(bom));
}

std::u16string Document::Decode(std::size_t begin, std::size_t end) const {
  if (encoding_ == Encoding::Utf8 || encoding_ == Encoding::Utf8Bom)
    return text::FromUtf8(std::string_view(bytes_).substr(begin, end - begin));
  std::u16string out;
  out.reserve((end - begin) / 2);
  const auto* b = reinterpret_cast<const unsigned char*>(bytes_.data());
  const bool le = encoding_ == Encoding::Utf16Le;
  for (std::size_t i = begin; i + 1 < end; i += 2)
    out.push_back(le ? char16_t(b[i] | (b[i + 1] << 8)) : char16_t((b[i] << 8) | b[i + 1]));
  return out;
}

std::string Document::Encode(std::u16string_view s) const {
  if (encoding_ == Encoding::Utf8 || encoding_ == Encoding::Utf8Bom) return text::ToUtf8(s);
  std::string out;
  out.reserve(s.size() * 2);
  const bool le = encoding_ == Encoding::Utf16Le;
  for (char16_t c : s) {
    const char lo = static_cast<char>(c & 0xFF);
    const char hi = static_cast<char>(c >> 8);
    out.push_back(le ? lo : hi);
    out.push_back(le ? hi : lo);
  }
  return out;
}

std::string Document::Eol() const { return Encode(u"\r\n"); }

void Document::AppendLine(std::string& out, std::size_t li) const {
  out.append(bytes_, lines_[li].begin, lines_[li].end - lines_[li].begin);
  out += Eol();
}

void Document::Index() {
  const std::size_t n = bytes_.size();
  const bool wide = encoding_ == Encoding::Utf16Le || encoding_ == Encoding::Utf16Be;
  const std::size_t step = wide ? 2 : 1;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes_.data());
  auto unit_at = [&](std::size_t i) -> char16_t {
    if (!wide) return b[i];
    return encoding_ == Encoding::Utf16Le ? char16_t(b[i] | (b[i + 1] << 8))
                                          : char16_t((b[i] << 8) | b[i + 1]);
  };

  // Lines: CR LF, LF or a lone CR ends one.
  std::size_t start = body_;
  std::size_t i = body_;
  while (i < n) {
    const char16_t c = unit_at(i);
    if (c == u'\n' || c == u'\r') {
      std::size_t next = i + step;
      if (c == u'\r' && next < n && unit_at(next) == u'\n') next += step;
      lines_.push_back({start, i, next});
      start = i = next;
    } else {
      i += step;
    }
  }
  if (start < n) lines_.push_back({start, n, n});

  Section* current = nullptr;
  for (std::size_t li = 0; li < lines_.size(); ++li) {
    const std::u16string decoded = Decode(lines_[li].begin, lines_[li].end);
    // A NUL ends a line's text, as it would end a C string: names and values
    // never hold one.
    const std::u16string_view line = Trim(UpToNul(decoded));
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      // The name ends at the first ']'; without one it runs to the end of
      // the line.
      std::u16string_view name = line.substr(1);
      name = name.substr(0, name.find(u']'));
      if (current) current->end_line = li;
      Section s;
      s.name = std::u16string(Trim(name));
      s.header_line = li;
      s.last_key_line = li;
      s.end_line = lines_.size();
      section_index_.emplace(text::ToUpperAscii(s.name), sections_.size());
      sections_.push_back(std::move(s));
      current = &sections_.back();
      continue;
    }
    if (!current) continue;  // lines before the first section belong to none
    const auto eq = line.find(u'=');
    if (eq == std::u16string_view::npos) continue;
    Entry e;
    e.key = std::u16string(Trim(line.substr(0, eq)));
    e.value = std::u16string(StripQuotes(Trim(line.substr(eq + 1))));
    e.line = li;
    current->last_key_line = li;
    current->keys.emplace(text::ToUpperAscii(e.key), current->entries.size());
    current->entries.push_back(std::move(e));
  }
}

const Document::Section* Document::FindSection(std::u16string_view name) const {
  const auto it = section_index_.find(text::ToUpperAscii(Trim(UpToNul(name))));
  return it == section_index_.end() ? nullptr : &sections_[it->second];
}

const std::u16string* Document::Find(std::u16string_view section, std::u16string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  const auto it = s->keys.find(text::ToUpperAscii(Trim(UpToNul(key))));
  return it == s->keys.end() ? nullptr : &s->entries[it->second].value;
}

std::vector<std::u16string> Document::KeyNames(std::u16string_view section) const {
  std::vector<std::u16string> out;
  if (const Section* s = FindSection(section)) {
    for (std::size_t i = 0; i < s->entries.size(); ++i) {
      // Only the first of duplicated keys is listed.
      if (s->keys.at(text::ToUpperAscii(s->entries[i].key)) == i) out.push_back(s->entries[i].key);
    }
  }
  return out;
}

std::vector<std::u16string> Document::SectionNames() const {
  std::vector<std::u16string> out;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (section_index_.at(text::ToUpperAscii(sections_[i].name)) == i) out.push_back(sections_[i].name);
  }
  return out;
}

std::optional<std::string> Document::WithValue(std::u16string_view section_in,
                                               std::u16string_view key_in,
                                               std::u16string_view value_in) const {
  const std::u16string_view section = Trim(UpToNul(section_in));
  const std::u16string_view key = Trim(UpToNul(key_in));
  const std::u16string_view value = UpToNul(value_in);
  // A ']' would end the section's name early when the file is read.
  if (key.empty() || HasLineBreak(section) || section.find(u']') != std::u16string_view::npos ||
      HasLineBreak(key) || HasLineBreak(value) || key.find(u'=') != std::u16string_view::npos ||
      key.front() == u'[' || key.front() == u';')
    return std::nullopt;

  // A value that reading would change (outer spaces trimmed, outer quotes
  // stripped) is written in quotes, so it reads back as given.
  std::u16string written(value);
  if (!value.empty() && (IsSpace(value.front()) || IsSpace(value.back()) || StripQuotes(value) != value))
    written = u"\"" + written + u"\"";

  const Section* s = FindSection(section);
  const std::string line = Encode(std::u16string(key) + u"=" + written);
  std::string out(bytes_, 0, body_);
  out.reserve(bytes_.size() + 2 * lines_.size() + 64 + line.size());
  // Every line of the new file ends with CR LF.
  if (s) {
    const auto it = s->keys.find(text::ToUpperAscii(key));
    // Replace the line of the first copy of the key, keeping its spelling;
    // a new key goes after the section's last key (or its header).
    const bool replace = it != s->keys.end();
    const std::size_t at = replace ? s->entries[it->second].line : s->last_key_line;
    for (std::size_t li = 0; li < lines_.size(); ++li) {
      if (li == at && replace) {
        out += Encode(s->entries[it->second].key + u"=" + written);
        out += Eol();
        continue;
      }
      AppendLine(out, li);
      if (li == at) {
        out += line;
        out += Eol();
      }
    }
    return out;
  }
  // A new section goes at the end.
  for (std::size_t li = 0; li < lines_.size(); ++li) AppendLine(out, li);
  out += Encode(u"[" + std::u16string(section) + u"]");
  out += Eol();
  out += line;
  out += Eol();
  return out;
}

std::optional<std::string> Document::Without(std::u16string_view section,
                                             std::u16string_view key_in) const {
  std::vector<bool> drop(lines_.size(), false);
  bool any = false;
  const std::u16string_view key = Trim(UpToNul(key_in));
  if (key.empty()) {
    const std::u16string upper = text::ToUpperAscii(Trim(UpToNul(section)));
    for (const Section& s : sections_) {
      if (text::ToUpperAscii(s.name) != upper) continue;
      for (std::size_t li = s.header_line; li < s.end_line; ++li) drop[li] = true;
      any = true;
    }
  } else if (const Section* s = FindSection(Trim(UpToNul(section)))) {
    const std::u16string upper = text::ToUpperAscii(key);
    for (const Entry& e : s->entries) {
      if (text::ToUpperAscii(e.key) == upper) drop[e.line] = any = true;
    }
  }
  if (!any) return std::nullopt;
  std::string out(bytes_, 0, body_);
  for (std::size_t li = 0; li < lines_.size(); ++li) {
    if (!drop[li]) AppendLine(out, li);
  }
  return out;
}

}  // namespace keyloom::ini
