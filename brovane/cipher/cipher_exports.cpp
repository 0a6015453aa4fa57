// cipher_exports.cpp: 加密 and 解密, with their result slots.
#include "cipher/cipher_exports.h"

#include <cstdlib>
#include <utility>

#include "binding/script_bridge.h"
#include "cipher/clock.h"
#include "cipher/text_cipher.h"
#include "exports.h"

namespace brovane::cipher {

namespace {

// A result slot owns the last result text of one export. Trivially
// destructible on purpose: only unload frees it, whenever the loader runs
// unload relative to the C++ static destructors.
struct ResultSlot {
  char* text;
  void replace(zelk::Text result) {
    zelk::heapFree(text);
    text = result.release();
  }
};

ResultSlot encryptResult{};  // 加密's last result
ResultSlot decryptResult{};  // 解密's last result

// The C runtime's generator, never seeded; RAND_MAX may exceed 32767, and
// the low 15 bits of a draw are as uniform as the whole.
int drawFromGenerator() { return std::rand() % 32768; }

// Stores result, of length bytes, in slot (freeing what it held) and pushes
// it: a missing result pushes nil.
int pushResult(ResultSlot& slot, zelk::Text result, size_t length) {
  slot.replace(std::move(result));
  scriptBridge().pushTextOfLength(slot.text, length);
  return 1;
}

// The arguments are borrowed from the stack; they stay there until we return.
int encrypt(lua_State* L) {
  ScriptBridge& bridge = scriptBridge();
  bridge.setState(L);
  size_t textLength = 0;
  const char* text = bridge.textAndLengthAt(2, &textLength);
  const char* key = bridge.textAt(1);
  const uint32_t tick = sys::tickCount();
  const uint8_t mask = maskByteFromDraw(drawFromGenerator());
  encryptResult.replace(nullptr);  // the heap may hand its block straight back
  size_t length = 0;
  zelk::Text result = encryptText(text, textLength, key, tick, mask, &length);
  return pushResult(encryptResult, std::move(result), length);
}

int decrypt(lua_State* L) {
  ScriptBridge& bridge = scriptBridge();
  bridge.setState(L);
  size_t cipherLength = 0;
  const char* cipherText = bridge.textAndLengthAt(2, &cipherLength);
  const char* key = bridge.textAt(1);
  decryptResult.replace(nullptr);
  size_t length = 0;
  zelk::Text result = decryptText(cipherText, cipherLength, key, &length);
  return pushResult(decryptResult, std::move(result), length);
}

}  // namespace

void releaseResultSlots() {
  decryptResult.replace(nullptr);
  encryptResult.replace(nullptr);
}

}  // namespace brovane::cipher

extern "C" int ZELK_LUA_CC brovane_encrypt(lua_State* L) { return brovane::cipher::encrypt(L); }

extern "C" int ZELK_LUA_CC brovane_decrypt(lua_State* L) { return brovane::cipher::decrypt(L); }
