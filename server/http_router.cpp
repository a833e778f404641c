// Routing and what a handler's answer needs around it; no networking here.
#include <algorithm>
#include <cctype>
#include <exception>

#include "server/http.h"

namespace zel::server {
namespace {

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX decoded; a broken escape stays as it came.
std::string Decode(const std::string& s, bool plusIsSpace) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += char(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += plusIsSpace && s[i] == '+' ? ' ' : s[i];
    }
  }
  return out;
}

void AddParams(const std::string& text, std::multimap<std::string, std::string>& params) {
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('&', pos);
    if (end == std::string::npos) end = text.size();
    std::string pair = text.substr(pos, end - pos);
    if (!pair.empty()) {
      size_t eq = pair.find('=');
      params.emplace(Decode(pair.substr(0, eq), true), eq == std::string::npos ? "" : Decode(pair.substr(eq + 1), true));
    }
    pos = end + 1;
  }
}

bool ParseCount(const std::string& s, size_t& n) {
  if (s.empty() || s.size() > 15 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  n = std::stoull(s);
  return true;
}

// One "bytes=first-last" range of a body of size bytes; false when it does
// not read as one (the header is then ignored).
bool ReadRange(std::string value, size_t size, size_t& first, size_t& last, bool& satisfiable) {
  value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return c == ' ' || c == '\t'; }), value.end());
  if (value.rfind("bytes=", 0) != 0) return false;
  value.erase(0, 6);
  size_t dash = value.find('-');
  if (dash == std::string::npos) return false;
  std::string a = value.substr(0, dash), b = value.substr(dash + 1);
  size_t x = 0, y = 0;
  if (a.empty()) {  // the last y bytes
    if (!ParseCount(b, y)) return false;
    satisfiable = y > 0 && size > 0;
    first = size > y ? size - y : 0;
    last = size ? size - 1 : 0;
    return true;
  }
  if (!ParseCount(a, x) || (!b.empty() && !ParseCount(b, y))) return false;
  if (!b.empty() && y < x) return false;
  satisfiable = x < size;
  first = x;
  last = b.empty() ? size - 1 : std::min(y, size - 1);
  return true;
}

}  // namespace

std::string HttpRequest::get_param_value(const std::string& name) const {
  auto it = params.find(name);
  return it == params.end() ? std::string() : it->second;
}

std::vector<std::string> HttpRequest::HeaderValues(const std::string& name) const {
  std::vector<std::string> out;
  for (const auto& [k, v] : headers)
    if (SameText(k, name)) out.push_back(v);
  return out;
}

void HttpResponse::set_content(std::string content, const std::string& type) {
  body = std::move(content);
  set_header("Content-Type", type);
}

void HttpResponse::set_header(const std::string& name, const std::string& value) {
  for (auto& [k, v] : headers)
    if (SameText(k, name)) {
      v = value;
      return;
    }
  headers.emplace_back(name, value);
}

void SplitTarget(HttpRequest& req) {
  size_t q = req.target.find('?');
  req.path = Decode(req.target.substr(0, q), false);
  if (q != std::string::npos) AddParams(req.target.substr(q + 1), req.params);
}

void AddFormParams(HttpRequest& req) {
  auto type = req.HeaderValues("Content-Type");
  if (type.size() == 1 && SameText(type[0].substr(0, 33), "application/x-www-form-urlencoded"))
    AddParams(req.body, req.params);
}

const char* StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 416: return "Range Not Satisfiable";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    default: return "Error";
  }
}

std::string ErrorPage(int status) {
  return "<html><body><h3>" + std::to_string(status) + " " + StatusText(status) + "</h3></body></html>\n";
}

void HttpRouter::Get(const std::string& pattern, HttpHandler h, HttpRun run) {
  routes_.push_back({"GET", std::regex(pattern), std::move(h), run});
}

void HttpRouter::Post(const std::string& pattern, HttpHandler h, HttpRun run) {
  routes_.push_back({"POST", std::regex(pattern), std::move(h), run});
}

const HttpRouter::Route* HttpRouter::Find(const HttpRequest& req, std::smatch* m) const {
  const std::string method = req.method == "HEAD" ? "GET" : req.method;
  std::smatch ignored;
  for (const Route& r : routes_)
    if (r.method == method && std::regex_match(req.path, m ? *m : ignored, r.pattern)) return &r;
  return nullptr;
}

bool HttpRouter::RunsOnWorker(const HttpRequest& req) const {
  const Route* r = Find(req, nullptr);
  return r && r->run == HttpRun::OnWorker;
}

HttpResponse HttpRouter::Answer(HttpRequest& req) const {
  HttpResponse res;
  std::smatch m;
  const Route* route = Find(req, &m);
  if (route) req.matches.assign(m.begin(), m.end());
  if (!route) {
    res.status = 404;
  } else {
    try {
      route->handler(req, res);
    } catch (const std::exception& e) {
      if (onException) onException(req, e.what());
      res = HttpResponse(500);
    } catch (...) {
      if (onException) onException(req, "unknown");
      res = HttpResponse(500);
    }
  }
  // A single range is served as asked; several parts (or several Range
  // headers) would let a short request ask for a long answer, so the
  // whole body comes once instead.
  auto ranges = req.HeaderValues("Range");
  size_t first = 0, last = 0;
  bool satisfiable = false;
  if (req.method == "GET" && res.status == 200 && ranges.size() == 1 && ranges[0].find(',') == std::string::npos &&
      ReadRange(ranges[0], res.body.size(), first, last, satisfiable)) {
    std::string total = std::to_string(res.body.size());
    if (satisfiable) {
      res.status = 206;
      res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + total);
      res.body = res.body.substr(first, last - first + 1);
    } else {
      res = HttpResponse(416);
      res.set_header("Content-Range", "bytes */" + total);
    }
  }
  if (res.status >= 400 && res.body.empty()) res.set_content(ErrorPage(res.status), "text/html");
  if (logger) logger(req, res);
  return res;
}

}  // namespace zel::server
