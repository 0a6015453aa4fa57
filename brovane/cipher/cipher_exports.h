// cipher_exports.h: the result slots of 加密 and 解密.
#pragma once

namespace brovane::cipher {

void releaseResultSlots();  // unload: 解密's slot, then 加密's

}  // namespace brovane::cipher
