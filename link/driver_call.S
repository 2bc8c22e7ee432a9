/* SPDX-License-Identifier: MIT */
/* The call thunk through which the printer link calls every driver entry point on 32-bit x86
   (link/driver_entry.h says why). One source for both 32-bit targets, Linux (ELF) and Windows
   (PE/COFF); other targets call their entry points directly and assemble nothing here.

   uintptr_t zmr_call_driver(const void* entry, uintptr_t a0, uintptr_t a1, uintptr_t a2)

   Itself an ordinary C function (cdecl). It keeps the stack pointer in %esi, which both
   conventions make the callee preserve, pushes the three words right to left on a stack aligned
   to 16 bytes (what the 32-bit Linux ABI promises a callee; Windows asks for 4), calls the entry,
   and takes the stack pointer back from %esi: it does not matter whether the entry removed its
   arguments (stdcall) or left them (cdecl), nor how many of the three it took. The result is
   what the entry left in %eax. %ebx, %edi and %ebp are not touched; %esi is saved and restored. */

#if defined(__i386__)

/* C names carry the target's prefix (an underscore on 32-bit Windows). */
#define ZMR_CONCAT2(a, b) a##b
#define ZMR_CONCAT(a, b) ZMR_CONCAT2(a, b)
#define SYM(name) ZMR_CONCAT(__USER_LABEL_PREFIX__, name)

  .text
  .globl SYM(zmr_call_driver)
#if defined(__ELF__)
  .type SYM(zmr_call_driver), @function
#elif defined(_WIN32)
  .def SYM(zmr_call_driver)
  .scl 2
  .type 32
  .endef
#endif
  .p2align 4
SYM(zmr_call_driver):
  .cfi_startproc
  pushl %esi
  .cfi_adjust_cfa_offset 4
  .cfi_rel_offset %esi, 0
  movl %esp, %esi
  .cfi_def_cfa_register %esi
  /* From here: 0(%esi) the caller's %esi, 4(%esi) the return address, 8(%esi) entry, 12(%esi)
     a0, 16(%esi) a1, 20(%esi) a2. Down to a 16-byte boundary, then 4 bytes of padding and the
     three words: the stack is on a 16-byte boundary at the call. */
  andl $-16, %esp
  subl $4, %esp
  pushl 20(%esi)
  pushl 16(%esi)
  pushl 12(%esi)
  call *8(%esi)
  /* The entry may have moved the stack pointer by 0 to 12 bytes: it comes back from %esi. */
  movl %esi, %esp
  .cfi_def_cfa_register %esp
  popl %esi
  .cfi_adjust_cfa_offset -4
  .cfi_restore %esi
  ret
  .cfi_endproc
#if defined(__ELF__)
  .size SYM(zmr_call_driver), . - SYM(zmr_call_driver)
#endif

#endif /* __i386__ */

#if defined(__ELF__)
/* No executable stack. */
  .section .note.GNU-stack, "", @progbits
#endif
