// cipher_exports.cpp: 加密 and 解密, with their result slots.
#include "cipher/cipher_exports.h"

#include <atomic>
#include <cstdlib>
#include <type_traits>

#include "binding/exports.h"
#include "binding/script_bridge.h"
#include "cipher/clock.h"
#include "cipher/text_cipher.h"

namespace brovane::cipher {

namespace {

// A result block: its capacity, then the text.
struct ResultBlock {
  size_t capacity;
  char* text() { return reinterpret_cast<char*>(this + 1); }
};

// A result slot owns the last result text of one export, and its block is
// reused by the next result that fits it without wasting much of it: long
// results then cost no fresh pages on every call. A call takes the block out
// of the slot while it fills and pushes it, so a call on another thread
// never writes or frees it meanwhile: that call fills a block of its own,
// and of two blocks given back at once the one that finds the slot taken is
// freed. Trivially destructible on purpose: only unload frees it, whenever
// the loader runs unload relative to the C++ static destructors.
struct ResultSlot {
  std::atomic<ResultBlock*> block;

  ResultBlock* take() { return block.exchange(nullptr, std::memory_order_acquire); }
  void giveBack(ResultBlock* mine) { freeBlock(block.exchange(mine, std::memory_order_acq_rel)); }
  void clear() { freeBlock(take()); }

  static void freeBlock(ResultBlock* old) { zelk::heapFreeOwn(old); }
};

// A block of at least size bytes for the text, its content left to the
// caller: the one taken from the slot when it fits.
ResultBlock* fit(ResultBlock* taken, size_t size) {
  if (taken != nullptr && size <= taken->capacity && taken->capacity - size <= size + 4096)
    return taken;
  ResultSlot::freeBlock(taken);  // first: the heap may hand its block straight back
  auto* block = static_cast<ResultBlock*>(zelk::heapAllocUncleared(sizeof(ResultBlock) + size));
  block->capacity = size;
  return block;
}

static_assert(std::is_trivially_destructible_v<ResultSlot>);

ResultSlot encryptResult{};  // 加密's last result
ResultSlot decryptResult{};  // 解密's last result

// The C runtime's generator, never seeded; RAND_MAX may exceed 32767, and
// the low 15 bits of a draw are as uniform as the whole.
int drawFromGenerator() { return std::rand() % 32768; }

// Pushes the result of length bytes in block, then puts the block back in
// the slot, whether Lua had room for the result or not; an empty result
// leaves the slot empty and pushes nil.
int pushResult(ScriptBridge& bridge, ResultSlot& slot, ResultBlock* block, size_t length) {
  if (length == 0) {
    ResultSlot::freeBlock(block);
    slot.clear();
    bridge.pushTextOfLength(nullptr, 0);
    return 1;
  }
  const int results = bridge.pushTextKeepingErrors(block->text(), length);
  slot.giveBack(block);
  return results;
}

// Results this short are made on the call's own stack: Lua copies them at
// once, so they need neither the slot (nor its atomics) nor the heap.
constexpr size_t stackResultBytes = 1024;

int pushFromStack(ScriptBridge& bridge, const char* text, size_t length) {
  bridge.pushTextOfLength(length == 0 ? nullptr : text, length);  // empty: nil
  return 1;
}

// The key up to its first zero byte, found within Lua's length.
Key keyAt(ScriptBridge& bridge) {
  size_t length = 0;
  const char* key = bridge.textBeforeZeroAt(1, &length);
  return Key(key, length);
}

// The arguments are borrowed from the stack; they stay there until we return.
int encrypt(lua_State* L) {
  ScriptBridge bridge(L);
  size_t textLength = 0;
  const char* text = bridge.textAndLengthAt(2, &textLength);
  const Key key = keyAt(bridge);
  const uint32_t tick = sys::tickCount();
  const uint8_t mask = maskByteFromDraw(drawFromGenerator());
  if (textLength == 0) return pushResult(bridge, encryptResult, nullptr, 0);
  if (encryptedCapacity(textLength) <= stackResultBytes) {
    char result[stackResultBytes];
    return pushFromStack(bridge, result, encryptInto(text, textLength, key, tick, mask, result));
  }
  ResultBlock* block = fit(encryptResult.take(), encryptedCapacity(textLength));
  const size_t length = encryptInto(text, textLength, key, tick, mask, block->text());
  return pushResult(bridge, encryptResult, block, length);
}

int decrypt(lua_State* L) {
  ScriptBridge bridge(L);
  size_t cipherLength = 0;
  const char* cipherText = bridge.textAndLengthAt(2, &cipherLength);
  const Key key = keyAt(bridge);
  if (decryptedCapacity(cipherLength) <= 1) return pushResult(bridge, decryptResult, nullptr, 0);
  if (decryptedCapacity(cipherLength) <= stackResultBytes) {
    char result[stackResultBytes];
    return pushFromStack(bridge, result, decryptInto(cipherText, cipherLength, key, result));
  }
  ResultBlock* block = fit(decryptResult.take(), decryptedCapacity(cipherLength));
  const size_t length = decryptInto(cipherText, cipherLength, key, block->text());
  return pushResult(bridge, decryptResult, block, length);
}

}  // namespace

void releaseResultSlots() {
  decryptResult.clear();
  encryptResult.clear();
}

}  // namespace brovane::cipher

extern "C" int ZELK_LUA_CC brovane_encrypt(lua_State* L) {
  return brovane::raiseOr(L, brovane::cipher::encrypt(L));
}

extern "C" int ZELK_LUA_CC brovane_decrypt(lua_State* L) {
  return brovane::raiseOr(L, brovane::cipher::decrypt(L));
}
