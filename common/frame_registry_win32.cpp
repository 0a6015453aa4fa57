// frame_registry_win32.cpp (32-bit Windows DLLs): the DWARF unwind tables
// registered at load and given back at unload without making a lock.
//
// The start-up code registers the DLL's unwind tables with the unwinder of
// the static libgcc at each load, and gives them back at unload. With the
// win32 thread model the unwinder guards its registry with a semaphore that
// it makes on first use and never closes: one handle kept for good at each
// load. Both calls run under the loader lock, with no other thread in this
// module (the module is not reachable before its load returns, and a free
// comes after the engine has stopped, or at the process's end), so they run
// with the static runtime's "threads may run" switch off: the unwinder then
// takes no lock and makes none. A throw later makes the lock as before.
extern "C" {

extern int _CRT_MT;  // this module's own: the C runtime is linked statically

void __real___register_frame_info(const void* tables, void* object);
void* __real___deregister_frame_info(const void* tables);

void __wrap___register_frame_info(const void* tables, void* object) {
  const int threads = _CRT_MT;
  _CRT_MT = 0;
  __real___register_frame_info(tables, object);
  _CRT_MT = threads;
}

void* __wrap___deregister_frame_info(const void* tables) {
  const int threads = _CRT_MT;
  _CRT_MT = 0;
  void* object = __real___deregister_frame_info(tables);
  _CRT_MT = threads;
  return object;
}

}  // extern "C"
