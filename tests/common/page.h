// page.h: a page that cannot be read, for the tolerant-free tests.
#pragma once
void* unreadablePage();
