// Fuzz target: the connection file's text for any entry. Input: the first
// byte is a separator; the rest, split at that byte, gives the account, the
// address, the port and the password (missing pieces are empty).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "launch/connection_text.h"
#include "servers/server_list.h"

namespace {

// Stands in for the protection call: a blob of the password's own bytes.
std::string fakeBlob(const std::string& password) { return passwordBlobText(password); }

bool holdsLineBreak(const std::string& s) {
  return s.find('\r') != std::string::npos || s.find('\n') != std::string::npos;
}

std::size_t countLines(const std::string& s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i + 1 < s.size(); ++i)
    if (s[i] == '\r' && s[i + 1] == '\n') ++n;
  return n;
}

// The template with lines 9, 18 and 19 written out, for fields that hold no
// "%" (so no placeholder can be made or split by what they bring in).
std::string expectedText(const ServerEntry& e) {
  std::vector<std::string> lines;
  const std::string& t = ConnectionTemplate;
  for (std::size_t i = 0; i < t.size();) {
    const std::size_t j = t.find("\r\n", i);
    lines.push_back(t.substr(i, j - i));
    i = j + 2;
  }
  lines[8] = "username:s:" + e.account;
  lines[17] = "full address:s:" + e.address + ":" + e.port;
  if (!e.password.empty()) lines[18] = "password 51:b:" + fakeBlob(e.password);
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The template must be the code-page 936 bytes (a wrong execution
  // character set would change its length).
  if (ConnectionTemplate.size() != 908 || countLines(ConnectionTemplate) != 38) __builtin_trap();
  if (size == 0) return 0;
  const std::vector<std::string> parts = fuzzInputParts(data, size, 4);
  ServerEntry entry;
  entry.account = parts[0];
  entry.address = parts[1];
  entry.port = parts[2];
  entry.password = parts[3];
  entry.remark = "ignored";

  const std::string text = buildConnectionText(entry, fakeBlob);
  bool lineBreaks = false;
  bool percent = false;
  for (const std::string& p : parts) {
    lineBreaks = lineBreaks || holdsLineBreak(p);
    percent = percent || p.find('%') != std::string::npos;
  }
  if (!lineBreaks) {
    if (countLines(text) != 38) __builtin_trap();
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) __builtin_trap();
  }
  if (!percent && text != expectedText(entry)) __builtin_trap();
  return 0;
}
