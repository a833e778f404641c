#include "base/text.h"

#include <cctype>

namespace zel {

size_t Pos(std::string_view marker, std::string_view text) {
  if (marker.empty()) return 0;
  size_t p = text.find(marker);
  return p == std::string_view::npos ? 0 : p + 1;
}

std::string Copy(std::string_view text, long long start, long long count) {
  if (start < 1) start = 1;
  if (count <= 0 || start > static_cast<long long>(text.size())) return {};
  size_t from = static_cast<size_t>(start - 1);
  size_t n = static_cast<size_t>(count);
  return std::string(text.substr(from, n));
}

std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return std::string(text.substr(b, e - b));
}

TextList SplitString(std::string_view text, std::string_view sep) {
  TextList out;
  if (sep.empty()) {
    if (!text.empty()) out.emplace_back(text);
    return out;
  }
  std::string_view rest = text;
  for (size_t p; (p = rest.find(sep)) != std::string_view::npos;) {
    out.emplace_back(rest.substr(0, p));
    rest.remove_prefix(p + sep.size());
  }
  if (!rest.empty()) out.emplace_back(rest);
  return out;
}

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c != 0xFF && i + 1 < out.size()) {
      ++i;  // lead byte: leave the trail byte alone
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

int IndexOfText(const TextList& list, std::string_view text) {
  std::string want = FoldCase(text);
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].size() == want.size() && FoldCase(list[i]) == want) return static_cast<int>(i);
  return -1;
}

std::string ReplaceText(std::string_view text, std::string_view oldText, std::string_view newText, bool all) {
  if (oldText.empty()) return std::string(text);
  if (!all) {
    // Folding keeps lengths, so positions in the folded text are positions in text.
    std::string hay = FoldCase(text), needle = FoldCase(oldText);
    size_t p = hay.find(needle);
    if (p == std::string::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + newText.size());
    out.append(text.substr(0, p)).append(newText).append(text.substr(p + oldText.size()));
    return out;
  }
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t p; (p = text.find(oldText, from)) != std::string_view::npos; from = p + oldText.size())
    out.append(text.substr(from, p - from)).append(newText);
  out.append(text.substr(from));
  return out;
}

std::string IncludeBackslash(std::string_view path) {
  std::string out(path);
  if (out.empty() || out.back() != '/') out.push_back('/');
  return out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

bool ParseInt(std::string_view text, long long& out) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (t[i] == '+' || t[i] == '-') neg = t[i++] == '-';
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) return false;
  unsigned long long v = 0;
  for (; i < t.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(t[i]);
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && std::isxdigit(c)) d = std::tolower(c) - 'a' + 10;
    else return false;
    v = v * base + d;
    if (v > 0x7FFFFFFFFFFFull) return false;  // far beyond any setting we read
  }
  out = neg ? -static_cast<long long>(v) : static_cast<long long>(v);
  return true;
}

std::string LogText(std::string_view text, size_t max) {
  bool cut = text.size() > max;
  if (cut) {
    size_t end = max;
    // Back to the start of a UTF-8 character, so the cut leaves none half.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text = text.substr(0, end);
  }
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  if (cut) out += "...";
  return out;
}

namespace {

bool StartsWithText(std::string_view text, size_t at, std::string_view word) {
  return text.size() - at >= word.size() && SameText(text.substr(at, word.size()), word);
}

bool IsNameByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '/'; }

// One start tag from its '<' to past its '>', attributes filtered.
size_t CopyTag(std::string_view html, size_t i, std::string& out) {
  size_t j = i + 1;
  while (j < html.size() && IsNameByte(html[j])) ++j;
  out.append(html.substr(i, j - i));
  while (j < html.size() && html[j] != '>') {
    if (IsBlank(html[j])) {
      out += html[j++];
      continue;
    }
    size_t name = j;
    while (j < html.size() && !IsBlank(html[j]) && html[j] != '=' && html[j] != '>') ++j;
    std::string_view attr = html.substr(name, j - name);
    size_t k = j;
    while (k < html.size() && IsBlank(html[k]) && html[k] != '/') ++k;
    std::string_view value;
    size_t end = j;
    if (k < html.size() && html[k] == '=') {
      ++k;
      while (k < html.size() && IsBlank(html[k]) && html[k] != '/') ++k;
      if (k < html.size() && (html[k] == '"' || html[k] == '\'')) {
        size_t close = html.find(html[k], k + 1);
        value = html.substr(k + 1, close == std::string_view::npos ? std::string_view::npos : close - k - 1);
        end = close == std::string_view::npos ? html.size() : close + 1;
      } else {
        end = k;
        while (end < html.size() && !IsBlank(html[end]) && html[end] != '>') ++end;
        value = html.substr(k, end - k);
      }
    }
    size_t v = value.find_first_not_of(" \t\r\n");
    bool runs = StartsWithText(attr, 0, "on") ||
                (v != std::string_view::npos && StartsWithText(value, v, "javascript:")) ||
                (v != std::string_view::npos && StartsWithText(value, v, "vbscript:"));
    if (!runs) out.append(html.substr(name, end - name));
    j = end;
  }
  if (j < html.size()) out += html[j++];
  return j;
}

}  // namespace

std::string WithoutPageScripts(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  size_t i = 0;
  while (i < html.size()) {
    size_t lt = html.find('<', i);
    if (lt == std::string_view::npos) lt = html.size();
    out.append(html.substr(i, lt - i));
    i = lt;
    if (i >= html.size()) break;
    if (StartsWithText(html, i, "<!--")) {
      size_t end = html.find("-->", i + 4);
      end = end == std::string_view::npos ? html.size() : end + 3;
      out.append(html.substr(i, end - i));
      i = end;
    } else if (StartsWithText(html, i, "<script") && (i + 7 == html.size() || !IsNameByte(html[i + 7]))) {
      // The element and all it holds; unclosed, the rest of the page.
      size_t end = i + 7;
      while ((end = html.find('<', end)) != std::string_view::npos && !StartsWithText(html, end, "</script")) ++end;
      end = end == std::string_view::npos ? html.size() : html.find('>', end);
      i = end == std::string_view::npos ? html.size() : end + 1;
    } else if (i + 1 < html.size() && std::isalpha(static_cast<unsigned char>(html[i + 1]))) {
      i = CopyTag(html, i, out);
    } else {
      out += html[i++];
    }
  }
  return out;
}

}  // namespace zel
