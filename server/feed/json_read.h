// Reading provider answers with simdjson: the answers for all stations are
// megabytes a round, too many for a tree of nlohmann values.
#pragma once

#include <simdjson.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace zel::server::feed::json {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

// One parser per thread, kept for its buffers.
inline simdjson::dom::parser& Parser() {
  thread_local simdjson::dom::parser p;
  return p;
}

// Gives the thread's parser buffers back once an answer of bodySize has
// been read, when it was large: they keep the size of the largest answer.
struct ShrinkParserAfter {
  size_t bodySize;
  ~ShrinkParserAfter() {
    if (bodySize > (1u << 20)) Parser() = simdjson::dom::parser();
  }
};

inline std::optional<double> Num(element v) {
  double d;
  if (v.is_double())
    d = double(v.get_double());
  else if (v.is_int64())
    d = double(int64_t(v.get_int64()));
  else if (v.is_uint64())
    d = double(uint64_t(v.get_uint64()));
  else
    return std::nullopt;
  return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

inline std::optional<double> Num(simdjson::simdjson_result<element> e) {
  element v;
  if (e.get(v)) return std::nullopt;
  return Num(v);
}

inline std::string Str(element e) {
  std::string_view s;
  if (e.get_string().get(s)) return {};
  return std::string(s);
}

inline std::string Str(simdjson::simdjson_result<element> e) {
  element v;
  if (e.get(v)) return {};
  return Str(v);
}

// An array's numbers and texts by index (null or another type: nullopt / "").
inline std::vector<std::optional<double>> Nums(simdjson::simdjson_result<element> e) {
  std::vector<std::optional<double>> out;
  array a;
  if (e.get_array().get(a)) return out;
  for (element x : a) out.push_back(Num(x));
  return out;
}

inline std::vector<std::string> Strs(simdjson::simdjson_result<element> e) {
  std::vector<std::string> out;
  array a;
  if (e.get_array().get(a)) return out;
  for (element x : a) out.push_back(Str(x));
  return out;
}

template <typename T>
T At(const std::vector<T>& v, size_t i) {
  return i < v.size() ? v[i] : T{};
}

}  // namespace zel::server::feed::json
