/* SPDX-License-Identifier: MIT */
/* The three data images as constant bytes of the program. The assembler copies each file in
   whole; the build passes the folder that holds them as an include path. The same bytes go into
   an ELF object (Linux) and a PE/COFF object (Windows); only the directives around them differ. */

/* C names carry the target's prefix (an underscore on 32-bit Windows). */
#define ZMR_CONCAT2(a, b) a##b
#define ZMR_CONCAT(a, b) ZMR_CONCAT2(a, b)
#define SYM(name) ZMR_CONCAT(__USER_LABEL_PREFIX__, name)

#if defined(__ELF__)
/* ELF: hidden from other modules, with type and size for tools. */
#define EMBED(name, file)                 \
  .globl SYM(name);                       \
  .hidden SYM(name);                      \
  .type SYM(name), %object;               \
  .balign 16;                             \
SYM(name):                                \
  .incbin file;                           \
SYM(name##_end):                          \
  .size SYM(name), SYM(name##_end) - SYM(name); \
  .globl SYM(name##_size);                \
  .hidden SYM(name##_size);               \
  .type SYM(name##_size), %object;        \
  .balign 4;                              \
SYM(name##_size):                         \
  .long SYM(name##_end) - SYM(name);      \
  .size SYM(name##_size), 4
#define READ_ONLY_SECTION .section .rodata
#elif defined(_WIN32)
/* PE/COFF: no symbol types, sizes or visibility; a symbol is exported from a DLL only when asked. */
#define EMBED(name, file)                 \
  .globl SYM(name);                       \
  .balign 16;                             \
SYM(name):                                \
  .incbin file;                           \
SYM(name##_end):                          \
  .globl SYM(name##_size);                \
  .balign 4;                              \
SYM(name##_size):                         \
  .long SYM(name##_end) - SYM(name)
#define READ_ONLY_SECTION .section .rdata, "dr"
#else
#error "embedded_data.S: unknown object format"
#endif

  READ_ONLY_SECTION
  EMBED(zmr_image_data1, "data1.bin")
  EMBED(zmr_image_data2, "data2.bin")
  EMBED(zmr_image_data3, "data3.bin")

#if defined(__ELF__)
/* No executable stack is needed. */
  .section .note.GNU-stack, "", %progbits
#endif
