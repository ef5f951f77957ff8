// The launcher is built without exceptions and never catches one, so any
// exception the C++ library could throw would end the process through
// abort(). Linked statically, the library's throwing code would bring its
// whole exception machinery along (unwinder, personality routine, exception
// classes, the terminate handler's name demangler): most of the exe. These
// replacements end the process through abort() where the library would throw,
// so none of it is linked. Compiled into the mingw images only: the unit
// tests keep the normal library and their sanitizer's own allocator, and
// MSVC's library is left as it is.
//
// If a later change calls library code that throws by another way, the
// machinery comes back and the image test's size cap fails.
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

// By the C++ standard: the strings' members compiled here, without
// exceptions. The header declares std::string's instantiation extern, so its
// members would otherwise come from the library's prebuilt copy, which is
// compiled with exceptions.
template class std::basic_string<char>;

// By the C++ standard ([new.delete.single]: replaceable). The library's
// versions throw std::bad_alloc when memory runs out; the launcher sets no
// new handler, so this is all they would do before that. A replaced sized
// delete needs its unsized partner too.
void* operator new(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) std::abort();
  return block;
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// By the library's own helpers, not the standard: libstdc++'s headers call
// these for a string that would grow past max_size(), an out-of-range
// position, a null text or an allocation too large. If GCC renames one, its
// library copy (and the machinery) is linked again and the size test fails;
// the launcher itself is unaffected.
namespace std {
void __throw_bad_alloc() { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
}  // namespace std
