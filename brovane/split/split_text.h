// split_text.h: the rules of E_分割文本, 子程序1 and E_取成员数.
#pragma once

#include "split/field_scan.h"

namespace brovane::split {

// Whether separator occurs in text at a character boundary.
bool separatorOccurs(Span text, Span separator);

// The member count: 0 when the separator does not occur, else the number of
// fields (a text that ends with the separator has no empty last field).
size_t countFields(Span text, Span separator);

// The field that the field number names, or false when it names none (below
// 1, above the count beyond the tolerance, separator absent).
bool pickField(Span text, Span separator, double number, Span* field);

// The field number read from its text: full-width forms to ASCII, then a
// decimal number from the start, as strtod reads it in the C locale, but
// without hexadecimal forms or words. No number gives 0.
double fieldNumber(const char* text);

// Whether a field number that Lua holds as a number reads back from its text
// form (%.14g) as exactly itself, known without formatting it: integers
// below 1e14 in magnitude print every digit. Fractions may round (Lua prints
// 3.000000000000001 as 3), larger values too; they take the text path.
bool readsBackExactly(double number);

}  // namespace brovane::split
