// Found in liborc 0.4.33 (Debian 12); see Workarounds.h.
//
// libvips compiles run-time vector code (liborc) for its vertical resampler
// each time one is built, and frees it with the operation. liborc 0.4.33
// frees code memory without the lock it allocates under
// (orc_code_chunk_free), so two workers, one compiling and one freeing, can
// corrupt its lists: a program of four threads building and dropping
// resamplers crashed within seconds, and a run of 4,000 pictures died in it.
// Without the vector code the resampler takes half again as long, which is
// most of the cost of a web-sized picture.
//
// These two definitions stand in for liborc's own: libvips' calls reach them
// first (the executable exports them, see CMakeLists.txt), and they call
// liborc's under one lock, so that compiling and freeing never meet. Running
// compiled code needs no lock: code is freed only with its operation.
#include <dlfcn.h>

#include <mutex>

namespace {

std::mutex& codeMutex() {
  static std::mutex mutex;
  return mutex;
}

template <typename F>
F real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

// The program is liborc's OrcProgram, the result its OrcCompileResult.
int orc_program_compile(void* program) {
  using Compile = int (*)(void*);
  static const Compile compile = real<Compile>("orc_program_compile");
  // Not found: a result with liborc's "unknown compile" bits, which makes
  // libvips use its plain code.
  if (!compile) return 0x100;
  std::lock_guard<std::mutex> lock(codeMutex());
  return compile(program);
}

void orc_program_free(void* program) {
  using Free = void (*)(void*);
  static const Free release = real<Free>("orc_program_free");
  if (!release) return;
  std::lock_guard<std::mutex> lock(codeMutex());
  release(program);
}

}  // extern "C"
