// cipher_fuzz.cpp: 解密 of any cipher text and key never fails, and 加密 then
// 解密 gives back the text up to its first zero byte.
#include <cstring>

#include "binding/exports.h"
#include "lua_call.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto pieces = fuzz::splitInput(data, size, 2);
  const std::string& text = pieces[0];
  const std::string& key = pieces[1];

  const auto decrypted = fuzz::callExport(brovane_decrypt, {text, key});
  if (decrypted.size() != 1) fuzz::fail("解密 must push one value");

  const std::string plain = text.substr(0, std::strlen(text.c_str()));
  const auto cipher = fuzz::callExport(brovane_encrypt, {text, key});
  if (cipher.size() != 1) fuzz::fail("加密 must push one value");
  if (plain.empty()) {
    if (cipher[0] != "<nil>") fuzz::fail("empty text must encrypt to nil");
    return 0;
  }
  if (cipher[0].size() != 2 + 16 + 2 * plain.size()) fuzz::fail("cipher text length");
  const auto back = fuzz::callExport(brovane_decrypt, {cipher[0].substr(2), key});
  if (back.size() != 1 || back[0] != "s:" + plain) fuzz::fail("round trip");
  return 0;
}
