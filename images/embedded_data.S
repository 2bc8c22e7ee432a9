/* The three data images as constant bytes of the program. The assembler copies each file in
   whole; the build passes the folder that holds them as an include path. */

#define EMBED(name, file)                 \
  .globl name;                            \
  .hidden name;                           \
  .type name, %object;                    \
  .balign 16;                             \
name:                                     \
  .incbin file;                           \
name##_end:                               \
  .size name, name##_end - name;          \
  .globl name##_size;                     \
  .hidden name##_size;                    \
  .type name##_size, %object;             \
  .balign 4;                              \
name##_size:                              \
  .long name##_end - name;                \
  .size name##_size, 4

  .section .rodata
  EMBED(zmr_image_data1, "data1.bin")
  EMBED(zmr_image_data2, "data2.bin")
  EMBED(zmr_image_data3, "data3.bin")

/* No executable stack is needed. */
  .section .note.GNU-stack, "", %progbits
