/* The component from C (C99 or later) and from any language that calls C functions.
 *
 * Each gpio_dll_<Method> function runs the method of the same name of gpio_dll::cls_GPIO_DLL on
 * the calling thread's module state, exactly as the C++ object does: every by-reference argument
 * is a pointer, read before the call; the arguments the method writes are written back after it.
 *
 * Written arguments. A method writes back these arguments and no others, as the method table of
 * gpio_dll/automation.hpp marks them (and as late binding writes them back):
 *   GPIO_FW_EEP_Read: DEEPROM
 *   GPIO_ReadI2CBlock: DataArray, iNumBytesRd
 *   GPIO_WriteI2CBlock: iNumBytesWr
 *   GPIO_WriteSMBusBlock: iNumBytesWr
 *   GPIO_ReceiveSMBusByte: DataB
 *   GPIO_ReadSMBusByte: DataB
 *   GPIO_ReadSMBusWord: DataH, DataL
 *   GPIO_ReadSMBusBlock: DataArray, iNumBytesRd
 *   GPIO_ProcessCall: rDataH, rDataL
 *   GPIO_ReadWriteP0Line: DataB
 *   GPIO_WriteReadI2CBlock: DataArrayR, iNumBytesRd
 *   GPIO_WriteReadSMBusBlock: DataArrayR, iNumBytesWr, iNumBytesRd
 *   GPIO_GetP0Line: DataB
 *   GPIO_GetPMBusLine: DataB
 *   GPIO_FW_VER_Read: iDevFWver, iVendorID, iProductID
 *   GPIO_DMA: wBlock, rBlock
 * Every other argument (every nTargetID and iCmd, lcode, DevFWver, the data of the write methods,
 * optStr, ...) is only read, never written back, so it can never make a call fail after the
 * method ran (a text without its terminating NUL, a buffer without room to spare).
 *
 * Results. A method function returns the method's result code (0 to 142, 300 + s, 400 + s: never
 * negative), or one of the negative GPIO_DLL_C_* statuses below, which no method returns:
 *
 *   GPIO_DLL_C_AUTOMATION_ERROR  the method raised an automation error instead of returning a
 *                                result code (for example a byte value that comes out negative);
 *                                gpio_dll_last_automation_error() gives its number (6 overflow,
 *                                13 type mismatch, ...). The arguments it writes are written back
 *                                as the method left them when it raised (a word read has set its
 *                                outputs to 0 by then), as a C++ or automation caller sees them;
 *                                a text or array that does not fit is left as for
 *                                GPIO_DLL_C_BUFFER_TOO_SMALL.
 *   GPIO_DLL_C_BUFFER_TOO_SMALL  the method ran, but a text or byte array it wrote back did not
 *                                fit its buffer; that buffer is left as it was and its size
 *                                argument holds the size needed. The other arguments are written
 *                                back, and gpio_dll_last_result() gives the method's result code.
 *                                Only methods that change nothing on the module or a slave return
 *                                it, so calling again with a larger buffer is safe.
 *   GPIO_DLL_C_TRUNCATED         the method ran and may have changed the module or a slave
 *                                (GPIO_WriteReadI2CBlock, GPIO_WriteReadSMBusBlock, GPIO_DMA), but
 *                                a byte array it wrote back did not fit its buffer: the buffer
 *                                holds the bytes that fit, its length argument the whole length.
 *                                The other arguments are written back, and gpio_dll_last_result()
 *                                gives the method's result code. Calling again would repeat the
 *                                method, its writes included.
 *   GPIO_DLL_C_INVALID_ARGUMENT  a length larger than its buffer, or a length without a buffer;
 *                                the method did not run.
 *   GPIO_DLL_C_INTERNAL_ERROR    any other failure inside (such as memory exhaustion); the text
 *                                is in gpio_dll_last_error_text(). Nothing is written back.
 *
 * No C++ exception leaves these functions. Each call sets, for the calling thread, the values of
 * gpio_dll_last_automation_error (0 when the call raised none), gpio_dll_last_error_text and
 * gpio_dll_last_result.
 *
 * Scalars: a NULL pointer passes 0 and receives nothing.
 *
 * Texts (char *t, size_t *t_size): t holds a NUL-terminated text (the input; it must end within
 * *t_size bytes, else its first *t_size bytes are taken) and *t_size is the capacity of t in
 * bytes. On return *t_size is the number of bytes the written-back text needs, its terminating
 * NUL included; the text is written when it fits. A NULL t passes the empty text and receives
 * nothing (but *t_size, when t_size is not NULL, still says the size needed). UTF-8 throughout.
 *
 * Byte arrays (uint8_t *a, size_t a_capacity, size_t *a_len): *a_len bytes of a are the input
 * array (the array's length is part of the input: a write method returns 136 for an array
 * shorter than its count), a_capacity the bytes a can hold. On return *a_len is the length of the
 * array the method left, and the bytes are copied when they fit in a_capacity. A NULL a_len
 * passes an empty array and receives nothing.
 *
 * Sizes that always fit: GPIO_DLL_EEPROM_SIZE for the module EEPROM, GPIO_DLL_BLOCK_SIZE for
 * every block read and GPIO_DMA's wBlock and rBlock (when the arrays passed in are no longer),
 * GPIO_DLL_TEXT_SIZE for the version and identifier texts and the messages of
 * Check_DllErrorCode. For a method that changes nothing, any other size can be learnt by a first
 * call with a NULL buffer, or by calling again with the size a GPIO_DLL_C_BUFFER_TOO_SMALL
 * returned (the method then runs a second time); give the methods that may change something
 * buffers that always fit.
 */
#ifndef GPIO_DLL_GPIO_DLL_H
#define GPIO_DLL_GPIO_DLL_H

#include <stddef.h>
#include <stdint.h>

#include "gpio_dll/export.hpp"
#include "gpio_dll/version.h"

#ifdef __cplusplus
extern "C" {
#endif

#define GPIO_DLL_C_OK 0
#define GPIO_DLL_C_AUTOMATION_ERROR (-1)
#define GPIO_DLL_C_BUFFER_TOO_SMALL (-2)
#define GPIO_DLL_C_INVALID_ARGUMENT (-3)
#define GPIO_DLL_C_INTERNAL_ERROR (-4)
#define GPIO_DLL_C_TRUNCATED (-5)

#define GPIO_DLL_EEPROM_SIZE 8192
#define GPIO_DLL_BLOCK_SIZE 256
#define GPIO_DLL_TEXT_SIZE 256

/* The automation error number that ended the calling thread's most recent call here; 0 when it
 * ended without one. */
GPIO_DLL_API int32_t gpio_dll_last_automation_error(void);
/* The method result code of the calling thread's most recent method call (also after
 * GPIO_DLL_C_BUFFER_TOO_SMALL and GPIO_DLL_C_TRUNCATED); 0 when the call did not run a method or
 * the method raised an automation error. */
GPIO_DLL_API int32_t gpio_dll_last_result(void);
/* The description of what ended the calling thread's most recent call with
 * GPIO_DLL_C_AUTOMATION_ERROR or GPIO_DLL_C_INTERNAL_ERROR (empty otherwise), as a text. Returns
 * GPIO_DLL_C_OK or GPIO_DLL_C_BUFFER_TOO_SMALL and does not change what it reports. */
GPIO_DLL_API int32_t gpio_dll_last_error_text(char* text, size_t* text_size);

/* The methods, in interface order. Check_DllErrorCode and GetErrString write their text into
 * message and return GPIO_DLL_C_OK or a negative status; GPIO_ShutdownDLL returns GPIO_DLL_C_OK
 * (the method's value is always empty). */
GPIO_DLL_API int32_t gpio_dll_Check_DllErrorCode(int32_t* lcode, char* message,
                                                 size_t* message_size);
GPIO_DLL_API int32_t gpio_dll_GPIO_FW_EEP_Read(char* DevFWver, size_t* DevFWver_size,
                                               uint8_t* DEEPROM, size_t DEEPROM_capacity,
                                               size_t* DEEPROM_len);
GPIO_DLL_API int32_t gpio_dll_GPIO_FW_EEP_Write(char* DevFWver, size_t* DevFWver_size,
                                                uint8_t* DEEPROM, size_t DEEPROM_capacity,
                                                size_t* DEEPROM_len);
GPIO_DLL_API int32_t gpio_dll_GPIO_ReadI2CBlock(int16_t* iCmd, uint8_t* DataArray,
                                                size_t DataArray_capacity, size_t* DataArray_len,
                                                int16_t* iNumBytesRd, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_WriteI2CBlock(int16_t* iCmd, uint8_t* DataArray,
                                                 size_t DataArray_capacity, size_t* DataArray_len,
                                                 int16_t* iNumBytesWr, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_SendSMBusByte(int32_t* DataL, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_WriteSMBusByte(int16_t* iCmd, int32_t* DataL,
                                                  int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_WriteSMBusWord(int16_t* iCmd, int32_t* DataH, int32_t* DataL,
                                                  int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_WriteSMBusBlock(int16_t* iCmd, uint8_t* DataArray,
                                                   size_t DataArray_capacity, size_t* DataArray_len,
                                                   int16_t* iNumBytesWr, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_ReceiveSMBusByte(int32_t* DataB, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_ReadSMBusByte(int16_t* iCmd, int32_t* DataB, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_ReadSMBusWord(int16_t* iCmd, int32_t* DataH, int32_t* DataL,
                                                 int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_ReadSMBusBlock(int16_t* iCmd, uint8_t* DataArray,
                                                  size_t DataArray_capacity, size_t* DataArray_len,
                                                  int16_t* iNumBytesRd, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_Test(void);
GPIO_DLL_API int32_t gpio_dll_GPIO_ProcessCall(int16_t* iCmd, int32_t* wDataH, int32_t* wDataL,
                                               int32_t* rDataH, int32_t* rDataL,
                                               int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_ReadWriteP0Line(uint8_t* DataA, uint8_t* DataB);
GPIO_DLL_API int32_t gpio_dll_GPIO_WriteReadI2CBlock(int16_t* iCmd, uint8_t* DataArrayW,
                                                     size_t DataArrayW_capacity,
                                                     size_t* DataArrayW_len, uint8_t* DataArrayR,
                                                     size_t DataArrayR_capacity,
                                                     size_t* DataArrayR_len, int16_t* iNumBytesWr,
                                                     int16_t* iNumBytesRd, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_WriteReadSMBusBlock(int16_t* iCmd, uint8_t* DataArrayW,
                                                       size_t DataArrayW_capacity,
                                                       size_t* DataArrayW_len, uint8_t* DataArrayR,
                                                       size_t DataArrayR_capacity,
                                                       size_t* DataArrayR_len, int16_t* iNumBytesWr,
                                                       int16_t* iNumBytesRd, int16_t* nTargetID);
GPIO_DLL_API int32_t gpio_dll_GPIO_CheckSdaSclLine(void);
GPIO_DLL_API int32_t gpio_dll_GPIO_GetP0Line(uint8_t* DataB);
GPIO_DLL_API int32_t gpio_dll_GPIO_SetP0Line(uint8_t* DataB);
GPIO_DLL_API int32_t gpio_dll_GPIO_GetPMBusLine(uint8_t* DataB);
GPIO_DLL_API int32_t gpio_dll_GPIO_SetPMBusLine(uint8_t* DataB);
GPIO_DLL_API int32_t gpio_dll_GPIO_SetP1Line(uint8_t* DataA, uint8_t* DataB, uint8_t* DataC);
GPIO_DLL_API int32_t gpio_dll_GPIO_FW_VER_Read(char* iDevFWver, size_t* iDevFWver_size,
                                               char* iVendorID, size_t* iVendorID_size,
                                               char* iProductID, size_t* iProductID_size);
GPIO_DLL_API int32_t gpio_dll_GPIO_DMA(uint8_t* wBlock, size_t wBlock_capacity, size_t* wBlock_len,
                                       uint8_t* rBlock, size_t rBlock_capacity, size_t* rBlock_len);
GPIO_DLL_API int32_t gpio_dll_GPIO_ShutdownDLL(void);
GPIO_DLL_API int32_t gpio_dll_GetErrString(int32_t LastError, char* message, size_t* message_size);
GPIO_DLL_API int32_t gpio_dll_ShowDbg(char* optStr, size_t* optStr_size);

/* The platform: which HID access the component uses (process-wide, taken up at each thread's
 * next discovery) and which module the calling thread uses. Each returns GPIO_DLL_C_OK or a
 * negative status; NULL texts are GPIO_DLL_C_INVALID_ARGUMENT. The simulated module is installed
 * by gpio_dll_sim_install of <gpio_dll/sim/gpio_dll_sim.h>, in the gpio_dll_sim library. */
GPIO_DLL_API int32_t gpio_dll_use_system(void);
/* 1 when this build has HID access to real devices on this operating system, else 0. */
GPIO_DLL_API int32_t gpio_dll_system_available(void);
GPIO_DLL_API int32_t gpio_dll_use_hidraw(const char *class_dir, const char *device_dir);
GPIO_DLL_API int32_t gpio_dll_use_hidraw_device(const char *device_path);
/* Linux: the hidraw tree under dir (dir/sys/class/hidraw and dir/dev), such as a folder that
 * gpio-dll-sim serve serves at. */
GPIO_DLL_API int32_t gpio_dll_use_hidraw_dir(const char *dir);
/* The environment variable GPIO_DLL_HIDRAW_DIR: when it is set and not empty,
 * gpio_dll_use_hidraw_dir(its value) and 1; otherwise nothing changes, and 0. The component reads
 * it only when this is called. */
#define GPIO_DLL_HIDRAW_DIR_VARIABLE "GPIO_DLL_HIDRAW_DIR"
GPIO_DLL_API int32_t gpio_dll_use_hidraw_dir_from_environment(void);
/* The calling thread alone uses the one device at device_path (Linux: that hidraw node; Windows:
 * the module with that HID interface path) in place of the process-wide choice, from its next
 * identification on, until gpio_dll_use_process_platform_on_this_thread. Other threads and the
 * process-wide choice are not changed. */
GPIO_DLL_API int32_t gpio_dll_use_hidraw_device_on_this_thread(const char* device_path);
GPIO_DLL_API int32_t gpio_dll_use_process_platform_on_this_thread(void);
GPIO_DLL_API int32_t gpio_dll_use_module_at(const char* device_path);
GPIO_DLL_API int32_t gpio_dll_use_module_with_serial(const char* serial_number);
GPIO_DLL_API int32_t gpio_dll_use_first_module(void);

/* One HID interface present on the current platform. Texts longer than their field are cut at
 * the field's size minus one. */
typedef struct gpio_dll_device_info {
  char path[4096];
  uint16_t vendor_id;
  uint16_t product_id;
  int32_t is_module; /* vendor 0x0451, product 0x5F00 */
  int32_t opened;    /* 0 when it could not be opened; open_error then says why */
  char open_error[256];
  char serial_number[256]; /* empty when the device has none */
  char product_name[256];
} gpio_dll_device_info;

/* Lists the HID interfaces of the calling thread's platform: up to `capacity` of them into
 * `devices` (which may be NULL when capacity is 0); *count receives how many there are. Returns
 * GPIO_DLL_C_OK, or GPIO_DLL_C_BUFFER_TOO_SMALL with the first `capacity` filled in. */
GPIO_DLL_API int32_t gpio_dll_list_devices(gpio_dll_device_info* devices, size_t capacity,
                                           size_t* count);

/* Why a call did not get to the module. Texts longer than their field are cut at the field's
 * size minus one. */
typedef struct gpio_dll_failure {
  char path[4096]; /* the device (on Linux the hidraw node) */
  int32_t error;   /* the system's error number; 0 when no failed system call is behind it */
  int32_t busy;    /* for the module's lock: 1 when another user held it past the wait */
  char text[256];  /* what to tell a user */
} gpio_dll_failure;

/* Why the calling thread's most recent discovery did not reach the module (its call returned
 * NO_DEV_DETECTED, 131): a device that could not be opened ("Permission denied", a permission
 * failure ahead of others), or a module that opened but cannot be used (error 0, text saying
 * why). Returns 1 and fills *failure when there is such a reason, 0 and clears *failure when
 * there is none, GPIO_DLL_C_INVALID_ARGUMENT for a NULL failure. */
GPIO_DLL_API int32_t gpio_dll_last_open_failure(gpio_dll_failure* failure);
/* Why the calling thread's most recent method failed for the module's lock (it then returned
 * FATAL_ERROR, 14): another user held the module longer than a method waits, 15 s in all (busy
 * 1, text "module busy: held by another user for more than 15 s"), or the system could not lock
 * it (text "cannot lock the module: " and the system's text). Returns as
 * gpio_dll_last_open_failure. */
GPIO_DLL_API int32_t gpio_dll_last_lock_failure(gpio_dll_failure* failure);

/* The call trace: the lines the debug window's trace list shows (each platform call with its
 * result, the reports' bytes, the HID test report), handed to `callback` with `user_data` as
 * they are written, whether the window is shown or not. GPIO_DLL_TRACE_THIS_THREAD hears the
 * calling thread's lines, GPIO_DLL_TRACE_EVERY_THREAD every thread's. `line` is valid during the
 * call only. The callback runs on the thread that traces, inside the library's call: it must not
 * wait for another thread that calls the library; it may subscribe and unsubscribe (itself
 * too). gpio_dll_trace_subscribe returns the subscription's number, or 0 for a NULL callback or
 * an unknown scope. When gpio_dll_trace_unsubscribe returns, the callback runs nowhere any more
 * (except further up the caller's own stack); an unknown number or 0 does nothing. */
#define GPIO_DLL_TRACE_THIS_THREAD 0
#define GPIO_DLL_TRACE_EVERY_THREAD 1
typedef void (*gpio_dll_trace_callback)(const char* line, void* user_data);
GPIO_DLL_API uint64_t gpio_dll_trace_subscribe(int32_t scope, gpio_dll_trace_callback callback,
                                               void* user_data);
GPIO_DLL_API void gpio_dll_trace_unsubscribe(uint64_t subscription);

#ifdef __cplusplus
}
#endif

#endif /* GPIO_DLL_GPIO_DLL_H */
