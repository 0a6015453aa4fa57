/* callconv_probe.c: code that -mrtd alone compiles with calls in the wrong
** convention: GCC's own memset for a zeroing loop and libgcc's 64-bit
** division are both cdecl, yet called as if they popped their arguments.
** check-callconv must find both. */
void probe_clear(int *a, int n) {
  int i;
  for (i = 0; i < n; i++) a[i] = 0;
}

long long probe_divide(long long a, long long b) { return a / b; }
