// Test support, 32-bit build only: how many bytes of arguments a function
// removed from the stack when it returned. A host compiled against the
// exports' declarations pushes the arguments and relies on the export to
// remove exactly those bytes (the standard Windows calling convention); an
// export that removed none, or the wrong count, would leave the host's stack
// pointer off after every call. x86_64 has a single calling convention in
// which the caller owns the stack, so there is nothing to probe there.
#pragma once

#if defined(__i386__)

#include <cstdint>
#include <vector>

namespace testsupport {

// Calls fn with the given 32-bit arguments (pushed last to first, as a host
// pushes them) and returns how many bytes of them fn removed: all of them for
// the standard Windows convention, none for a caller-cleans one. The stack
// pointer is restored either way.
inline int calleeRemovedBytes(const void* fn, const std::vector<std::uint32_t>& args)
{
    const std::uint32_t* words = args.data();
    std::uint32_t count = static_cast<std::uint32_t>(args.size());
    int left;  // bytes of arguments still on the stack after the return
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "decl %%ecx\n\t"
        "pushl (%%edx,%%ecx,4)\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "call *%%ebx\n\t"
        "movl %%esi, %%eax\n\t"
        "subl %%esp, %%eax\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(left), "+c"(count), "+d"(words)
        : "b"(fn)
        : "esi", "memory", "cc");
    return static_cast<int>(4 * args.size()) - left;
}

// The same with `words` arguments, all zero.
inline int calleeRemovedBytes(const void* fn, int words)
{
    return calleeRemovedBytes(fn, std::vector<std::uint32_t>(static_cast<std::size_t>(words), 0));
}

// A pointer as the 32-bit argument word a host pushes for it.
inline std::uint32_t word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

}  // namespace testsupport

#endif
