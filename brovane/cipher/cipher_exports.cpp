// cipher_exports.cpp: 加密 and 解密, with their result slots.
#include "cipher/cipher_exports.h"

#include <cstdlib>

#include "binding/script_bridge.h"
#include "cipher/clock.h"
#include "cipher/text_cipher.h"
#include "exports.h"

namespace brovane::cipher {

namespace {

// A result slot owns the last result text of one export. Its block is
// reused by the next result that fits it without wasting much of it: long
// results then cost no fresh pages on every call. Trivially destructible on
// purpose: only unload frees it, whenever the loader runs unload relative to
// the C++ static destructors.
struct ResultSlot {
  char* text;
  size_t capacity;

  // A block of at least size bytes, its content left to the caller.
  char* reserve(size_t size) {
    if (text != nullptr && size <= capacity && capacity - size <= size + 4096) return text;
    clear();  // first: the heap may hand its block straight back
    text = static_cast<char*>(zelk::heapAllocUncleared(size));
    capacity = size;
    return text;
  }
  void clear() {
    zelk::heapFreeOwn(text);
    text = nullptr;
    capacity = 0;
  }
};

ResultSlot encryptResult{};  // 加密's last result
ResultSlot decryptResult{};  // 解密's last result

// The C runtime's generator, never seeded; RAND_MAX may exceed 32767, and
// the low 15 bits of a draw are as uniform as the whole.
int drawFromGenerator() { return std::rand() % 32768; }

// Pushes the result of length bytes that slot holds; an empty result leaves
// the slot empty and pushes nil.
int pushResult(ResultSlot& slot, size_t length) {
  if (length == 0) slot.clear();
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
  if (textLength == 0) return pushResult(encryptResult, 0);
  char* out = encryptResult.reserve(encryptedCapacity(textLength));
  return pushResult(encryptResult, encryptInto(text, textLength, key, tick, mask, out));
}

int decrypt(lua_State* L) {
  ScriptBridge& bridge = scriptBridge();
  bridge.setState(L);
  size_t cipherLength = 0;
  const char* cipherText = bridge.textAndLengthAt(2, &cipherLength);
  const char* key = bridge.textAt(1);
  if (decryptedCapacity(cipherLength) <= 1) return pushResult(decryptResult, 0);
  char* out = decryptResult.reserve(decryptedCapacity(cipherLength));
  return pushResult(decryptResult, decryptInto(cipherText, cipherLength, key, out));
}

}  // namespace

void releaseResultSlots() {
  decryptResult.clear();
  encryptResult.clear();
}

}  // namespace brovane::cipher

extern "C" int ZELK_LUA_CC brovane_encrypt(lua_State* L) { return brovane::cipher::encrypt(L); }

extern "C" int ZELK_LUA_CC brovane_decrypt(lua_State* L) { return brovane::cipher::decrypt(L); }
