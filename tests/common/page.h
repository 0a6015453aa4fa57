// page.h: a page that cannot be read, for the tolerant-free tests.
#pragma once
void* unreadablePage();
// A readable and writable page whose next page cannot be read.
unsigned char* pageBeforeAnUnreadableOne();
