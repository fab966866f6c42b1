// The connection file's text: the fixed 38-line template the Remote Desktop
// client reads, filled from one server entry, and the hex form of the
// protected password that goes into it.
//
// This file is UTF-8; the narrow literals are compiled to code-page 936 bytes.
#include "launch/connection_text.h"

#include <cstddef>

#include "text/text.h"

const std::string ConnectionTemplate =
    "screen mode id:i:1\r\n"
    "desktopwidth:i:800\r\n"
    "desktopheight:i:600\r\n"
    "session bpp:i:16\r\n"
    "winposstr:s:0,3,0,0,800,600\r\n"
    "compression:i:1\r\n"
    "keyboardhook:i:2\r\n"
    "displayconnectionbar:i:1\r\n"
    "username:s:%账号%\r\n"
    "disable wallpaper:i:1\r\n"
    "disable full window drag:i:1\r\n"
    "allow desktop composition:i:0\r\n"
    "allow font smoothing:i:0\r\n"
    "disable menu anims:i:1\r\n"
    "disable themes:i:0\r\n"
    "disable cursor setting:i:0\r\n"
    "bitmapcachepersistenable:i:1\r\n"
    "full address:s:%服务器地址%\r\n"
    "%密码%\r\n"
    "audiomode:i:0\r\n"
    "redirectprinters:i:1\r\n"
    "redirectcomports:i:0\r\n"
    "redirectsmartcards:i:1\r\n"
    "redirectclipboard:i:1\r\n"
    "redirectposdevices:i:0\r\n"
    "drivestoredirect:s:\r\n"
    "autoreconnection enabled:i:1\r\n"
    "authentication level:i:0\r\n"
    "prompt for credentials:i:0\r\n"
    "negotiate security layer:i:1\r\n"
    "remoteapplicationmode:i:0\r\n"
    "alternate shell:s:\r\n"
    "shell working directory:s:\r\n"
    "gatewayhostname:s:\r\n"
    "gatewayusagemethod:i:4\r\n"
    "gatewaycredentialssource:i:4\r\n"
    "gatewayprofileusagemethod:i:0\r\n"
    "promptcredentialonce:i:1\r\n";

namespace {

const char AccountPlaceholder[] = "%账号%";
const char AddressPlaceholder[] = "%服务器地址%";
const char PasswordPlaceholder[] = "%密码%";
const char PasswordLinePrefix[] = "password 51:b:";

// The protection call always gets at least this many bytes.
constexpr std::size_t InputBlockSize = 512;

}  // namespace

std::string buildConnectionText(const ServerEntry& entry, const PasswordBlobMaker& makePasswordBlob) {
  // Each step runs over the whole current text, so a later step also sees
  // what an earlier one put in.
  std::string text = replaceText(ConnectionTemplate, AccountPlaceholder, entry.account);
  text = replaceText(text, AddressPlaceholder, entry.address + ":" + entry.port);
  if (!entry.password.empty()) {
    const std::string blob = makePasswordBlob ? makePasswordBlob(entry.password) : std::string("0");
    text = replaceText(text, PasswordPlaceholder, PasswordLinePrefix + blob);
  }
  return text;
}

std::string passwordBlobText(const std::string& blobBytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(blobBytes.size() * 2 + 1);
  for (unsigned char byte : blobBytes) {
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
  }
  out += '0';
  return out;
}

std::string passwordInputBlock(const std::string& utf16leWithTerminator) {
  // A long password is kept whole rather than cut: the block grows to hold it.
  std::string block = utf16leWithTerminator;
  if (block.size() < InputBlockSize) block.resize(InputBlockSize, '\0');
  return block;
}
