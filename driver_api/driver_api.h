// SPDX-License-Identifier: MIT
/* The C contract of the two driver libraries through which the tool reaches the printer.
 *
 * Two shared libraries implement it, and the tool cannot tell which one it has: the simulated
 * printer (sim/) and the libusb drivers for real printers (drivers/). Each builds:
 *   - libTUsbPrIf.so, which the tool links: it lists devices and opens a pipe by device path;
 *   - libZUsbXpIf.so, which the tool loads by name at start-up: it is told the vendor and product
 *     ID and opens a pipe by device index.
 *
 * Handles: the tool reads, writes and closes every handle returned here synchronously, as it
 * would a file, and never hands it back to the library. On POSIX a handle is an entry of the
 * process's handle table (driver_api/handle_table.h); on Windows it is a kernel handle for
 * ReadFile, WriteFile and CloseHandle. -1 (ZMR_INVALID_HANDLE) means "not opened". A pipe name is
 * "PIPE00" (bulk OUT, host to printer) or "PIPE01" (bulk IN, printer to host).
 *
 * Common rules for every entry point: it is called on one thread at a time; it never shows
 * anything to the user, never exits the process and never throws; it treats every pointer
 * argument as possibly null and every text it is given as possibly unterminated beyond the
 * buffer sizes stated here.
 */
#ifndef ZMR_DRIVER_API_H
#define ZMR_DRIVER_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZMR_INVALID_HANDLE ((intptr_t)-1)
/* Size of the buffers in which texts are exchanged: at most 255 characters and a NUL. */
#define ZMR_DRIVER_TEXT_SIZE 256

#if defined(_WIN32)
/* A DLL names its exports in its module-definition file. */
#define ZMR_DRIVER_EXPORT
#elif defined(__GNUC__)
#define ZMR_DRIVER_EXPORT __attribute__((visibility("default")))
#else
#define ZMR_DRIVER_EXPORT
#endif

/* The calling convention of the entry points of our own libraries (the simulated printer's). The
 * maker documents none for its libraries; 64-bit x86 has only one. On 32-bit Windows ours use the
 * system's own (WINAPI, __stdcall: the callee removes its arguments) and export plain names, as
 * the maker's do. The tool assumes neither convention there: it calls every entry point through
 * a thunk that works with both (link/driver_entry.h). */
#if defined(_WIN32) && defined(__i386__)
#define ZMR_DRIVER_CALL __stdcall
#else
#define ZMR_DRIVER_CALL
#endif

/* ---- libTUsbPrIf.so (linked) ---------------------------------------------------------------- */

/* Number of devices the library lists. It may list printers of other makes and models too; the
 * tool picks its own by the IDs in the device ID text. 0 or less: none. A device is served by one
 * of the two libraries only (the libusb drivers list printer-class devices here and leave the
 * others to libZUsbXpIf), so no printer is counted twice. */
ZMR_DRIVER_EXPORT int ZMR_DRIVER_CALL UsbGetDeviceNum(void);

/* Describes listed device `index` (0 .. UsbGetDeviceNum()-1). The caller passes two zero-filled
 * buffers of ZMR_DRIVER_TEXT_SIZE bytes each. On success it writes into `deviceId` a text that
 * contains "USB\VID_xxxx&PID_xxxx" (hexadecimal IDs of the device) and into `devicePath` a text
 * that names the device for UsbOpenBulk3, and returns nonzero. Each text is at most 255
 * characters followed by its NUL; a library cuts a longer one. (The tool still reads no further
 * than the buffer when a library breaks this rule.)
 * Returns 0 for an index out of range or null buffers. */
ZMR_DRIVER_EXPORT int ZMR_DRIVER_CALL UsbGetDeviceInfo(int index, char* deviceId, char* devicePath);

/* Opens pipe `pipeName` of the device named by `devicePath` (a text that UsbGetDeviceInfo gave,
 * read up to its NUL or ZMR_DRIVER_TEXT_SIZE bytes). Returns a handle, or -1 when the device is
 * gone, the path is unknown or the pipe does not open. */
ZMR_DRIVER_EXPORT intptr_t ZMR_DRIVER_CALL UsbOpenBulk3(const char* pipeName,
                                                        const char* devicePath);

/* ---- libZUsbXpIf.so (loaded by name) -------------------------------------------------------- */

/* Sets the vendor ID that the index-based calls below look for. Nonzero when accepted. */
ZMR_DRIVER_EXPORT int ZMR_DRIVER_CALL SetVenderID(uint16_t vendorId);

/* Sets the product IDs that the index-based calls look for: `count` IDs at `productIds`.
 * The result has no meaning; callers ignore it. */
ZMR_DRIVER_EXPORT int ZMR_DRIVER_CALL SetProductID(const uint16_t* productIds, int count);

/* Opens the control channel of matching device `index` (0, 1, 2, ... among the devices with the
 * vendor and product ID set above). `reserved` is 0. Returns a handle or -1. The tool opens it
 * only to count devices and closes it at once. */
ZMR_DRIVER_EXPORT intptr_t ZMR_DRIVER_CALL UsbOpenCont(int index, int reserved);

/* Opens pipe `pipeName` of matching device `index`. Returns a handle or -1. */
ZMR_DRIVER_EXPORT intptr_t ZMR_DRIVER_CALL UsbOpenBulk(const char* pipeName, int index);

/* A device control request on `handle`. The tool requires the entry point to exist but never
 * calls it; implementations may refuse every request (return 0). */
ZMR_DRIVER_EXPORT int ZMR_DRIVER_CALL UsbDeviceIoControl(intptr_t handle, uint32_t code,
                                                         const void* in, uint32_t inLength,
                                                         void* out, uint32_t outLength,
                                                         uint32_t* returned);

/* Pointer types of the entry points, for binding them by name. */
typedef int(ZMR_DRIVER_CALL* UsbGetDeviceNumFn)(void);
typedef int(ZMR_DRIVER_CALL* UsbGetDeviceInfoFn)(int, char*, char*);
typedef intptr_t(ZMR_DRIVER_CALL* UsbOpenBulk3Fn)(const char*, const char*);
typedef int(ZMR_DRIVER_CALL* SetVenderIDFn)(uint16_t);
typedef int(ZMR_DRIVER_CALL* SetProductIDFn)(const uint16_t*, int);
typedef intptr_t(ZMR_DRIVER_CALL* UsbOpenContFn)(int, int);
typedef intptr_t(ZMR_DRIVER_CALL* UsbOpenBulkFn)(const char*, int);
typedef int(ZMR_DRIVER_CALL* UsbDeviceIoControlFn)(intptr_t, uint32_t, const void*, uint32_t, void*,
                                                   uint32_t, uint32_t*);

#ifdef __cplusplus
}
#endif

#endif /* ZMR_DRIVER_API_H */
