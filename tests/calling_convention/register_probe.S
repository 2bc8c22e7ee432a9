/* SPDX-License-Identifier: MIT */
/* Test helpers for the driver call thunk, for 32-bit x86 (ELF and PE/COFF).

   void zmr_probe_driver_call(const void* entry, const uint32_t args[3], uint32_t misalign,
                              ProbeRecord* record)
     Moves the stack pointer down by `misalign` bytes, puts known values into %ebx, %esi and %edi
     (%ebp holds the probe's frame), records them and the stack pointer, calls
     zmr_call_driver(entry, args[0], args[1], args[2]) and records the same registers, the stack
     pointer and %eax after it returns. ProbeRecord: { before, after } of { esp, ebx, esi, edi,
     ebp }, then the result: 11 words.

   uint32_t zmr_probe_stack_at_entry(void)
     Returns the stack pointer as it was on entry (pointing at the return address); it takes no
     arguments and leaves the stack as it found it, so either convention fits it. */

#if defined(__i386__)

#define ZMR_CONCAT2(a, b) a##b
#define ZMR_CONCAT(a, b) ZMR_CONCAT2(a, b)
#define SYM(name) ZMR_CONCAT(__USER_LABEL_PREFIX__, name)
#if defined(__ELF__)
#define FUNCTION(name) .globl SYM(name); .type SYM(name), @function; SYM(name):
#define CALL_C(name) call SYM(name)@PLT
#else
#define FUNCTION(name) .globl SYM(name); .def SYM(name); .scl 2; .type 32; .endef; SYM(name):
#define CALL_C(name) call SYM(name)
#endif

  .text
  .p2align 4
FUNCTION(zmr_probe_driver_call)
  pushl %ebp
  movl %esp, %ebp
  /* 8(%ebp) entry, 12(%ebp) args, 16(%ebp) misalign, 20(%ebp) record */
  pushl %ebx
  pushl %esi
  pushl %edi
  subl 16(%ebp), %esp
  movl 12(%ebp), %ecx
  pushl 8(%ecx)
  pushl 4(%ecx)
  pushl (%ecx)
  pushl 8(%ebp)
  movl $0x5eb1b1b1, %ebx
  movl $0x5eb15151, %esi
  movl $0x5eb1d1d1, %edi
  movl 20(%ebp), %eax
  movl %esp, 0(%eax)
  movl %ebx, 4(%eax)
  movl %esi, 8(%eax)
  movl %edi, 12(%eax)
  movl %ebp, 16(%eax)
  CALL_C(zmr_call_driver)
  /* %ebp must have come back unchanged for the record to be found. */
  movl 20(%ebp), %ecx
  movl %esp, 20(%ecx)
  movl %ebx, 24(%ecx)
  movl %esi, 28(%ecx)
  movl %edi, 32(%ecx)
  movl %ebp, 36(%ecx)
  movl %eax, 40(%ecx)
  leal -12(%ebp), %esp
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret

  .p2align 4
FUNCTION(zmr_probe_stack_at_entry)
  movl %esp, %eax
  ret

#endif /* __i386__ */

#if defined(__ELF__)
  .section .note.GNU-stack, "", @progbits
#endif
