// Path pieces, relative paths, the bounded Shift-JIS copies, the command-line
// split and the argument lists on arbitrary text: nothing is written past a
// capacity, every result is terminated, and the pieces fit their path.
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "platform/arg_list.h"
#include "platform/paths.h"

namespace {

using fz::Guarded;

ArgListW listW;
ArgListA listA;

// Code page 932 lead bytes, as the path functions see them.
bool lead932(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// True when n bytes of s end on a character boundary of s.
bool on_boundary(const std::string& s, size_t n) {
  size_t i = 0;
  while (i < n) i += (lead932((unsigned char)s[i]) && i + 1 < s.size()) ? 2 : 1;
  return i == n;
}
bool on_boundary(const std::u16string& s, size_t n) {
  return n == 0 || n >= s.size() || !(s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF && s[n] >= 0xDC00 && s[n] <= 0xDFFF);
}

template <typename C>
bool is_prefix(const std::basic_string<C>& whole, const std::basic_string<C>& part) {
  return part.size() <= whole.size() && whole.compare(0, part.size(), part) == 0;
}
template <typename C>
bool is_suffix(const std::basic_string<C>& whole, const std::basic_string<C>& part) {
  return part.size() <= whole.size() && whole.compare(whole.size() - part.size(), part.size(), part) == 0;
}

// One path function into a roomy and a cut destination: both terminated
// inside their capacity, the cut one a prefix of the whole on a boundary.
template <typename C, typename F>
std::basic_string<C> run_piece(const char* what, int smallCap, int bigCap, F f) {
  Guarded<C> big(bigCap);
  f(big.get(), bigCap);
  FZ_CHECK(big.guards_intact(), "%s wrote outside cap %d", what, bigCap);
  FZ_CHECK(big.terminator() >= 0, "%s: no terminator", what);
  std::basic_string<C> whole(big.get());
  Guarded<C> cut(smallCap);
  f(cut.get(), smallCap);
  FZ_CHECK(cut.guards_intact(), "%s wrote outside cap %d", what, smallCap);
  if (smallCap > 0) {
    FZ_CHECK(cut.terminator() >= 0, "%s: no terminator in cap %d", what, smallCap);
    std::basic_string<C> part(cut.get());
    FZ_CHECK(is_prefix(whole, part), "%s: cut result is not a prefix", what);
    FZ_CHECK(on_boundary(whole, part.size()), "%s: cut inside a character", what);
  }
  return whole;
}

template <typename C>
void check_paths(const std::basic_string<C>& path, const std::basic_string<C>& other, int smallCap,
                 int (*dirpartF)(C*, int, const C*), int (*namepartF)(C*, int, const C*),
                 int (*extpartF)(C*, int, const C*), int (*stripextF)(C*, int, const C*),
                 int (*striptailsepF)(C*), int (*relpathF)(C*, int, const C*, const C*),
                 int (*headcmpiF)(const C*, const C*)) {
  const int big = (int)(3 * (path.size() + other.size()) + 8);
  const C* p = path.c_str();
  auto dir = run_piece<C>("dirpart", smallCap, big, [&](C* d, int cap) { dirpartF(d, cap, p); });
  auto name = run_piece<C>("namepart", smallCap, big, [&](C* d, int cap) { namepartF(d, cap, p); });
  int dot = 0;
  auto ext = run_piece<C>("extpart", smallCap, big, [&](C* d, int cap) { dot = extpartF(d, cap, p); });
  auto stem = run_piece<C>("stripext", smallCap, big, [&](C* d, int cap) { stripextF(d, cap, p); });
  FZ_CHECK(is_prefix(path, dir), "dirpart is not a prefix of the path");
  FZ_CHECK(is_suffix(path, name), "namepart is not a suffix of the path");
  FZ_CHECK(is_suffix(path, ext), "extpart is not a suffix of the path");
  if (dot) FZ_CHECK(stem + ext == path, "stripext and extpart do not make the path");
  else FZ_CHECK(stem == path && ext.empty(), "no dot, yet the path lost its tail");

  run_piece<C>("relpath", smallCap, big, [&](C* d, int cap) { relpathF(d, cap, p, other.c_str()); });
  run_piece<C>("relpath'", smallCap, big, [&](C* d, int cap) { relpathF(d, cap, other.c_str(), p); });
  run_piece<C>("relpath self", smallCap, big, [&](C* d, int cap) { relpathF(d, cap, p, p); });

  // In place: the string shrinks to at most 259 units and stays its own prefix.
  std::vector<C> buf(path.begin(), path.end());
  buf.push_back(0);
  if (buf.size() < 260) buf.resize(260, 0);
  striptailsepF(buf.data());
  std::basic_string<C> stripped(buf.data());
  FZ_CHECK(stripped.size() <= 259, "striptailsep left %zu units", stripped.size());
  FZ_CHECK(is_prefix(path, stripped), "striptailsep changed more than the tail");
  FZ_CHECK(path.size() - stripped.size() <= 1 || path.size() > 259, "striptailsep removed more than a separator");

  FZ_CHECK(headcmpiF(p, p) == 0, "headcmpi of a string with itself");
  static const C empty[1] = {0};
  FZ_CHECK(headcmpiF(p, empty) == 0, "headcmpi with an empty head");
  headcmpiF(p, other.c_str());
  headcmpiF(other.c_str(), p);
}

template <typename L, typename C>
void check_list(const L& list, const char* what) {
  FZ_CHECK(list.count >= 0 && list.count <= ARG_MAX_ENTRIES, "%s: count %d", what, (int)list.count);
  FZ_CHECK(list.used >= 0 && list.used <= ARG_STORAGE, "%s: used %d", what, (int)list.used);
  const C* base = list.storage;
  for (int i = 0; i < list.count; i++) {
    const C* e = list.entries[i];
    FZ_CHECK(e >= base && e < base + list.used, "%s: entry %d outside storage", what, i);
    const C* t = e;
    while (t < base + list.used && *t) t++;
    FZ_CHECK(t < base + list.used, "%s: entry %d not terminated in storage", what, i);
  }
  FZ_CHECK(list.entries[list.count] == base + list.used, "%s: entry count does not point at the free storage", what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  fz::Quiet quiet;
  const int smallCap = data[0] & 0x3F;
  // Mostly one to four copies; now and then 16 to 256, which reach the entry
  // and storage limits of the argument lists. Every copy costs a pass over
  // the text in each list, so the big counts are kept rare.
  const int repeat = data[1] >= 0xF0 ? 16 * (data[1] - 0xEF) : 1 + (data[1] & 3);
  data += 2;
  size -= 2;

  // Two narrow texts split at the first NUL, and two wide ones from the byte pairs.
  std::string all((const char*)data, size);
  size_t cut = all.find('\0');
  std::string a = all.substr(0, cut);
  std::string b = cut == std::string::npos ? std::string() : std::string(all.c_str() + cut + 1);
  std::u16string wa, wb;
  {
    std::u16string* cur = &wa;
    for (size_t i = 0; i + 1 < size; i += 2) {
      char16_t u = (char16_t)(data[i] | data[i + 1] << 8);
      if (u == 0) {
        if (cur == &wb) break;
        cur = &wb;
        continue;
      }
      cur->push_back(u);
    }
  }

  check_paths<char>(a, b, smallCap, dirpart, namepart, extpart, stripext, striptailsep, relpath, headcmpi);
  check_paths<char16_t>(wa, wb, smallCap, dirpartW, namepartW, extpartW, stripextW, striptailsepW, relpathW,
                        headcmpiW);

  // Bounded copies.
  run_piece<char>("sjis_copy", smallCap, (int)a.size() + 1, [&](char* d, int cap) { sjis_copy(d, cap, a.c_str()); });
  {
    Guarded<char> d(smallCap + 4);
    memcpy(d.get(), "xy", 3);
    sjis_append(d.get(), smallCap + 4, a.c_str());
    FZ_CHECK(d.guards_intact(), "sjis_append wrote outside its capacity");
    FZ_CHECK(d.terminator() >= 0, "sjis_append: no terminator");
  }

  // The command line, repeated to reach the entry and storage limits.
  // The split looks at the first 65533 units only; a little more shows that
  // it stops there.
  std::u16string line;
  line.reserve(66000 + wa.size() + 1);
  for (int r = 0; r < repeat && line.size() < 66000; r++) line += wa + u' ';
  splitcmdlineW(&listW, line.c_str());
  check_list<ArgListW, char16_t>(listW, "splitcmdlineW");
  FZ_CHECK(listW.count >= 1, "splitcmdlineW without the program entry");
  for (int r = 0; r < repeat; r++) {
    addargW(&listW, wa.c_str());
    addargW(&listW, wb.c_str());
  }
  check_list<ArgListW, char16_t>(listW, "addargW");

  arglist_reset(&listA);
  for (int r = 0; r < 2 * repeat; r++) {
    addarg(&listA, a.c_str());
    addarg(&listA, b.c_str());
  }
  check_list<ArgListA, char>(listA, "addarg");
  return 0;
}
