/* The C interface, compiled as C11, against the simulated module. Exits 1 when a check failed,
 * with the failures and their groups printed. */
#define _POSIX_C_SOURCE 200809L /* mkdtemp, setenv */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gpio_dll/gpio_dll.h"
#include "gpio_dll_sim.h"

static int failures = 0;

static void check_eq(long long a, long long b, const char *file, int line, const char *text) {
  if (a != b) {
    fprintf(stderr, "%s:%d: %s is %lld, expected %lld\n", file, line, text, a, b);
    ++failures;
  }
}
#define CHECK_EQ(a, b) check_eq((long long)(a), (long long)(b), __FILE__, __LINE__, #a)
#define CHECK(cond) check_eq((cond) != 0, 1, __FILE__, __LINE__, #cond)

/* Installs a module with `firmware` and identifies it on this thread. */
static void identify(const char *firmware) {
  char version[GPIO_DLL_TEXT_SIZE] = "", vendor[GPIO_DLL_TEXT_SIZE] = "", product[8] = "";
  size_t version_size = sizeof version, vendor_size = sizeof vendor, product_size = sizeof product;
  CHECK_EQ(gpio_dll_sim_install(firmware), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_GPIO_FW_VER_Read(version, &version_size, vendor, &vendor_size, product,
                                     &product_size),
           0);
  CHECK(strcmp(version, firmware) == 0);
  CHECK_EQ(version_size, strlen(firmware) + 1);
  CHECK(strcmp(vendor, "0451") == 0);
  CHECK(strcmp(product, "5F00") == 0);
  CHECK_EQ(product_size, 5);
}

static void before_identification(void) {
  int16_t cmd = 0x09, target = 0x16;
  int32_t high = 77, low = 78;
  CHECK_EQ(gpio_dll_sim_install("2.0.19"), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusWord(&cmd, &high, &low, &target), 131);
  CHECK_EQ(high, 77);
  CHECK_EQ(low, 78);
  CHECK_EQ(gpio_dll_sim_install("two"), GPIO_DLL_C_INVALID_ARGUMENT);
}

static void messages(void) {
  char text[GPIO_DLL_TEXT_SIZE];
  char tiny[4] = "xyz";
  size_t size = sizeof text, tiny_size = sizeof tiny;
  int32_t code = 131;
  CHECK_EQ(gpio_dll_Check_DllErrorCode(&code, text, &size), GPIO_DLL_C_OK);
  CHECK(strstr(text, "USB device not detected") != NULL);
  CHECK_EQ(size, strlen(text) + 1);
  CHECK_EQ(code, 131);
  /* Too small: untouched, and the size needed. */
  CHECK_EQ(gpio_dll_Check_DllErrorCode(&code, tiny, &tiny_size), GPIO_DLL_C_BUFFER_TOO_SMALL);
  CHECK(strcmp(tiny, "xyz") == 0);
  CHECK_EQ(tiny_size, size);
  size = sizeof text;
  CHECK_EQ(gpio_dll_GetErrString(2, text, &size), GPIO_DLL_C_OK);
  CHECK(strcmp(text, "No such file or directory") == 0);
}

static void smbus_words_and_bytes(void) {
  int16_t cmd = 0x09, target = 0x16;
  int32_t high = 0, low = 0, byte = 0;
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusWord(&cmd, &high, &low, &target), 0);
  CHECK_EQ(high, 0x30); /* 12345 mV */
  CHECK_EQ(low, 0x39);
  cmd = 0x00;
  high = 0xBE;
  low = 0xEF;
  CHECK_EQ(gpio_dll_GPIO_WriteSMBusWord(&cmd, &high, &low, &target), 0);
  high = low = 0;
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusWord(&cmd, &high, &low, &target), 0);
  CHECK_EQ(high, 0xBE);
  CHECK_EQ(low, 0xEF);
  cmd = 0x0D;
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusByte(&cmd, &byte, &target), 0);
  CHECK_EQ(byte, 87);
  byte = 0x0D;
  CHECK_EQ(gpio_dll_GPIO_SendSMBusByte(&byte, &target), 0);
  CHECK_EQ(gpio_dll_GPIO_ReceiveSMBusByte(&byte, &target), 0);
  cmd = 0x00;
  byte = 0x12;
  CHECK_EQ(gpio_dll_GPIO_WriteSMBusByte(&cmd, &byte, &target), 0);
  {
    int32_t wh = 0x12, wl = 0x34, rh = 0, rl = 0;
    int32_t result = gpio_dll_GPIO_ProcessCall(&cmd, &wh, &wl, &rh, &rl, &target);
    CHECK(result >= 0);
  }
}

static void automation_error(void) {
  int16_t cmd = 0x00, target = 0x16;
  int32_t high = 0, low = -3; /* not a byte */
  char text[GPIO_DLL_TEXT_SIZE];
  size_t size = sizeof text;
  CHECK_EQ(gpio_dll_GPIO_WriteSMBusWord(&cmd, &high, &low, &target), GPIO_DLL_C_AUTOMATION_ERROR);
  CHECK_EQ(gpio_dll_last_automation_error(), 6);
  CHECK_EQ(low, -3);
  CHECK_EQ(gpio_dll_last_error_text(text, &size), GPIO_DLL_C_OK);
  CHECK(strstr(text, "-3") != NULL);
  /* The next call clears it. */
  low = 3;
  CHECK_EQ(gpio_dll_GPIO_WriteSMBusWord(&cmd, &high, &low, &target), 0);
  CHECK_EQ(gpio_dll_last_automation_error(), 0);
}

static void blocks(void) {
  int16_t cmd = 0x21, target = 0x16, count = 0;
  uint8_t data[GPIO_DLL_BLOCK_SIZE] = {9, 9, 9};
  size_t len = 3;
  uint8_t small[4] = {1, 2, 3, 4};
  size_t small_len = 0;
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusBlock(&cmd, data, sizeof data, &len, &count, &target), 0);
  CHECK_EQ(count, 10);
  CHECK_EQ(len, 10);
  CHECK(memcmp(data, "SIM-BAT-4S", 10) == 0);
  /* Too small: the method ran, the buffer is untouched, the length needed is given. */
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusBlock(&cmd, small, sizeof small, &small_len, &count, &target),
           GPIO_DLL_C_BUFFER_TOO_SMALL);
  CHECK_EQ(gpio_dll_last_result(), 0);
  CHECK_EQ(small_len, 10);
  CHECK_EQ(small[0], 1);
  CHECK_EQ(count, 10);
  /* A length beyond the buffer's capacity is refused before the method runs. */
  small_len = 5;
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusBlock(&cmd, small, sizeof small, &small_len, &count, &target),
           GPIO_DLL_C_INVALID_ARGUMENT);

  /* A block written to the battery's block register and read back. */
  {
    uint8_t w[4] = {0xA1, 0xA2, 0xA3, 0xA4};
    size_t w_len = 4;
    int16_t n = 4;
    cmd = 0x44;
    CHECK_EQ(gpio_dll_GPIO_WriteSMBusBlock(&cmd, w, sizeof w, &w_len, &n, &target), 0);
    len = 0;
    CHECK_EQ(gpio_dll_GPIO_ReadSMBusBlock(&cmd, data, sizeof data, &len, &count, &target), 0);
    CHECK_EQ(len, 4);
    CHECK(memcmp(data, w, 4) == 0);
    /* A count larger than the array: a result code, not a failure of the call. */
    n = 8;
    CHECK_EQ(gpio_dll_GPIO_WriteSMBusBlock(&cmd, w, sizeof w, &w_len, &n, &target), 136);
  }
  {
    uint8_t w[2] = {0x01, 0x02};
    uint8_t r[GPIO_DLL_BLOCK_SIZE];
    size_t w_len = 2, r_len = 0;
    int16_t nw = 2, nr = 0;
    cmd = 0x44;
    CHECK(gpio_dll_GPIO_WriteReadSMBusBlock(&cmd, w, sizeof w, &w_len, r, sizeof r, &r_len, &nw,
                                            &nr, &target) >= 0);
  }
  /* A write then read whose answer (the block written) does not fit: the method ran once, the
   * bytes that fit and the whole length come back, and the status asks for no second call. */
  {
    uint8_t w[5] = {0x05, 0x06, 0x07}; /* room for the count and the command */
    uint8_t r[2] = {0, 0};
    size_t w_len = sizeof w, r_len = 0;
    int16_t nw = 3, nr = 0;
    cmd = 0x44;
    CHECK_EQ(gpio_dll_GPIO_WriteReadSMBusBlock(&cmd, w, sizeof w, &w_len, r, sizeof r, &r_len,
                                               &nw, &nr, &target),
             GPIO_DLL_C_TRUNCATED);
    CHECK_EQ(gpio_dll_last_result(), 0);
    CHECK_EQ(r_len, 3);
    CHECK_EQ(nr, 3);
    CHECK(memcmp(r, w, sizeof r) == 0);
  }
  /* I2C: the EEPROM at 0x50. */
  {
    uint8_t w[3] = {0x10, 0x11, 0x12};
    uint8_t r[GPIO_DLL_BLOCK_SIZE];
    size_t w_len = 3, r_len = 0;
    int16_t nw = 3, nr = 3, eeprom = 0xA0;
    cmd = 0x20;
    CHECK_EQ(gpio_dll_GPIO_WriteI2CBlock(&cmd, w, sizeof w, &w_len, &nw, &eeprom), 0);
    CHECK_EQ(gpio_dll_GPIO_ReadI2CBlock(&cmd, r, sizeof r, &r_len, &nr, &eeprom), 0);
    CHECK_EQ(r_len, 3);
    CHECK(memcmp(r, w, 3) == 0);
    nw = 1;
    w_len = 1;
    w[0] = 0x20;
    r_len = 0;
    CHECK(gpio_dll_GPIO_WriteReadI2CBlock(&cmd, w, sizeof w, &w_len, r, sizeof r, &r_len, &nw, &nr,
                                          &eeprom) >= 0);
  }
}

static void lines(const char *firmware) {
  uint8_t a = 0x0F, b = 0, c = 0;
  int32_t read_write;
  CHECK_EQ(gpio_dll_GPIO_CheckSdaSclLine(), 0);
  read_write = gpio_dll_GPIO_ReadWriteP0Line(&a, &b);
  CHECK_EQ(read_write, strcmp(firmware, "1.0.10") == 0 ? 0 : 133);
  b = 0x03;
  CHECK_EQ(gpio_dll_GPIO_SetP0Line(&b), 0);
  b = 0;
  CHECK_EQ(gpio_dll_GPIO_GetP0Line(&b), 0);
  b = 0x01;
  CHECK_EQ(gpio_dll_GPIO_SetPMBusLine(&b), 0);
  CHECK_EQ(gpio_dll_GPIO_GetPMBusLine(&b), 0);
  a = 1;
  b = 2;
  c = 3;
  CHECK_EQ(gpio_dll_GPIO_SetP1Line(&a, &b, &c), 0);
  CHECK(gpio_dll_GPIO_Test() >= 0);
}

static void module_eeprom(const char *firmware) {
  static uint8_t image[GPIO_DLL_EEPROM_SIZE];
  static uint8_t back[GPIO_DLL_EEPROM_SIZE];
  uint8_t small[16] = {0};
  size_t len = 0, image_len = sizeof image;
  char version[GPIO_DLL_TEXT_SIZE];
  size_t version_size = sizeof version;
  char bare[6]; /* "2.0.19" or "1.0.10" */
  size_t bare_size = sizeof bare;
  int64_t requests;
  size_t i;
  strcpy(version, firmware);
  CHECK_EQ(gpio_dll_GPIO_FW_EEP_Read(version, &version_size, small, sizeof small, &len),
           GPIO_DLL_C_BUFFER_TOO_SMALL);
  CHECK_EQ(gpio_dll_last_result(), 0);
  CHECK_EQ(len, GPIO_DLL_EEPROM_SIZE);
  CHECK_EQ(small[0], 0);
  for (i = 0; i < sizeof image; ++i) image[i] = (uint8_t)(i * 7 + 1);
  version_size = sizeof version;
  requests = gpio_dll_sim_request_count();
  CHECK_EQ(gpio_dll_GPIO_FW_EEP_Write(version, &version_size, image, sizeof image, &image_len), 0);
  requests = gpio_dll_sim_request_count() - requests;
  CHECK(requests > 0);
  /* The version text is only read: without its terminating NUL, in a buffer it fills, it writes
   * the EEPROM once as well, returns the result and stays as it was. */
  memcpy(bare, firmware, sizeof bare);
  requests += gpio_dll_sim_request_count();
  CHECK_EQ(gpio_dll_GPIO_FW_EEP_Write(bare, &bare_size, image, sizeof image, &image_len), 0);
  CHECK_EQ(gpio_dll_sim_request_count(), requests);
  CHECK_EQ(bare_size, sizeof bare);
  CHECK(memcmp(bare, firmware, sizeof bare) == 0);
  len = 0;
  version_size = sizeof version;
  CHECK_EQ(gpio_dll_GPIO_FW_EEP_Read(version, &version_size, back, sizeof back, &len), 0);
  CHECK_EQ(len, GPIO_DLL_EEPROM_SIZE);
  CHECK(memcmp(image, back, sizeof image) == 0);
  /* An empty version text: no device, nothing read. */
  version[0] = '\0';
  version_size = sizeof version;
  len = 0;
  CHECK_EQ(gpio_dll_GPIO_FW_EEP_Read(version, &version_size, back, sizeof back, &len), 131);
}

static void pass_through_and_shutdown(void) {
  uint8_t w[64] = {0x2B, 0x00};
  uint8_t r[GPIO_DLL_BLOCK_SIZE];
  size_t w_len = 2, r_len = 0;
  char option[GPIO_DLL_TEXT_SIZE] = "";
  size_t option_size = sizeof option;
  CHECK_EQ(gpio_dll_GPIO_DMA(w, sizeof w, &w_len, r, sizeof r, &r_len), 0);
  CHECK_EQ(w_len, 64);
  CHECK_EQ(r_len, 64);
  CHECK_EQ(r[0], 0x2B);
  CHECK_EQ(gpio_dll_ShowDbg(option, &option_size), 0);
  CHECK_EQ(gpio_dll_ShowDbg(NULL, NULL), 0);
  CHECK_EQ(gpio_dll_GPIO_ShutdownDLL(), GPIO_DLL_C_OK);
}

/* Another user holds the module: the call fails after the wait, and says why. */
static void lock_failure(void) {
  gpio_dll_failure failure;
  int16_t cmd = 0x09, target = 0x16;
  int32_t high = 0, low = 0;
  CHECK_EQ(gpio_dll_sim_hold_lock_elsewhere(20000), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusWord(&cmd, &high, &low, &target), 14);
  CHECK_EQ(gpio_dll_last_lock_failure(&failure), 1);
  CHECK_EQ(failure.busy, 1);
  CHECK(strcmp(failure.text, "module busy: held by another user for more than 15 s") == 0);
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusWord(&cmd, &high, &low, &target), 0);
  CHECK_EQ(gpio_dll_last_lock_failure(&failure), 0);
  CHECK_EQ(failure.busy, 0);
  CHECK_EQ(gpio_dll_last_open_failure(&failure), 0);
}

/* What a trace callback heard: the number of lines, the first one, and a subscription that the
 * callback ends from inside itself (0: none). */
struct heard {
  int lines;
  char first[64];
  uint64_t end_from_inside;
};

static void hear(const char *line, void *user_data) {
  struct heard *h = (struct heard *)user_data;
  if (h->lines++ == 0) snprintf(h->first, sizeof h->first, "%s", line);
  if (h->end_from_inside != 0) gpio_dll_trace_unsubscribe(h->end_from_inside);
}

static void trace(void) {
  struct heard mine = {0, "", 0}, once = {0, "", 0};
  uint64_t s, t;
  int16_t cmd = 0x09, target = 0x16;
  int32_t high = 0, low = 0;
  identify("2.0.19");
  CHECK_EQ(gpio_dll_trace_subscribe(GPIO_DLL_TRACE_THIS_THREAD, NULL, &mine), 0);
  CHECK_EQ(gpio_dll_trace_subscribe(2, hear, &mine), 0);
  s = gpio_dll_trace_subscribe(GPIO_DLL_TRACE_THIS_THREAD, hear, &mine);
  t = gpio_dll_trace_subscribe(GPIO_DLL_TRACE_EVERY_THREAD, hear, &once);
  CHECK(s != 0 && t != 0 && s != t);
  once.end_from_inside = t;
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusWord(&cmd, &high, &low, &target), 0);
  /* A call's trace starts as the debug window shows it: an empty line, then the first call. */
  CHECK(mine.lines > 10);
  CHECK(strcmp(mine.first, "") == 0);
  CHECK_EQ(once.lines, 1);
  gpio_dll_trace_unsubscribe(s);
  gpio_dll_trace_unsubscribe(s); /* again: nothing */
  gpio_dll_trace_unsubscribe(0);
  mine.lines = 0;
  CHECK_EQ(gpio_dll_GPIO_ReadSMBusWord(&cmd, &high, &low, &target), 0);
  CHECK_EQ(mine.lines, 0);
  CHECK_EQ(once.lines, 1);
}

static void platform_choices(void) {
  gpio_dll_device_info devices[2];
  size_t count = 0;
  CHECK_EQ(gpio_dll_sim_install("2.0.19"), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_list_devices(NULL, 0, &count), GPIO_DLL_C_BUFFER_TOO_SMALL);
  CHECK_EQ(count, 1);
  CHECK_EQ(gpio_dll_list_devices(devices, 2, &count), GPIO_DLL_C_OK);
  CHECK_EQ(devices[0].vendor_id, 0x0451);
  CHECK_EQ(devices[0].product_id, 0x5F00);
  CHECK_EQ(devices[0].is_module, 1);
  CHECK(strcmp(devices[0].serial_number, "SIM0001") == 0);
  CHECK_EQ(gpio_dll_use_module_with_serial("NOPE"), GPIO_DLL_C_OK);
  {
    char version[GPIO_DLL_TEXT_SIZE] = "";
    size_t size = sizeof version;
    CHECK_EQ(gpio_dll_GPIO_FW_VER_Read(version, &size, NULL, NULL, NULL, NULL), 131);
  }
  CHECK_EQ(gpio_dll_use_module_at(devices[0].path), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_GPIO_FW_VER_Read(NULL, NULL, NULL, NULL, NULL, NULL), 0);
  CHECK_EQ(gpio_dll_use_first_module(), GPIO_DLL_C_OK);
  /* This thread's own node in place of the process-wide simulated platform, then back. */
  CHECK_EQ(gpio_dll_use_hidraw_device_on_this_thread("/nonexistent/hidraw0"), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_GPIO_FW_VER_Read(NULL, NULL, NULL, NULL, NULL, NULL), 131);
  {
    gpio_dll_failure failure;
    CHECK_EQ(gpio_dll_last_open_failure(&failure), 1);
    CHECK(strcmp(failure.path, "/nonexistent/hidraw0") == 0);
    CHECK_EQ(failure.error, ENOENT);
    CHECK(strcmp(failure.text, "No such file or directory") == 0);
    CHECK_EQ(gpio_dll_last_open_failure(NULL), GPIO_DLL_C_INVALID_ARGUMENT);
  }
  CHECK_EQ(gpio_dll_use_process_platform_on_this_thread(), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_GPIO_FW_VER_Read(NULL, NULL, NULL, NULL, NULL, NULL), 0);
  CHECK_EQ(gpio_dll_use_hidraw_device_on_this_thread(NULL), GPIO_DLL_C_INVALID_ARGUMENT);
  CHECK_EQ(gpio_dll_use_module_at(NULL), GPIO_DLL_C_INVALID_ARGUMENT);
  CHECK_EQ(gpio_dll_use_hidraw_device(NULL), GPIO_DLL_C_INVALID_ARGUMENT);
  CHECK_EQ(gpio_dll_use_hidraw_device("/nonexistent/hidraw0"), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_GPIO_FW_VER_Read(NULL, NULL, NULL, NULL, NULL, NULL), 131);
  CHECK_EQ(gpio_dll_use_system(), GPIO_DLL_C_OK);
  CHECK(gpio_dll_system_available() == 0 || gpio_dll_system_available() == 1);
}

/* A folder with a hidraw tree of one entry and no node: the folder's node is the one listed. */
static void hidraw_folder(void) {
  char dir[] = "/tmp/gpio-dll-c-tree.XXXXXX", path[128], node[128];
  const char *parts[] = {"/sys", "/sys/class", "/sys/class/hidraw", "/sys/class/hidraw/hidraw7"};
  gpio_dll_device_info devices[2];
  size_t count = 0, i;
  CHECK(mkdtemp(dir) != NULL);
  for (i = 0; i < 4; ++i) {
    snprintf(path, sizeof path, "%s%s", dir, parts[i]);
    CHECK_EQ(mkdir(path, 0700), 0);
  }
  snprintf(node, sizeof node, "%s/dev/hidraw7", dir);
  CHECK_EQ(unsetenv(GPIO_DLL_HIDRAW_DIR_VARIABLE), 0);
  CHECK_EQ(gpio_dll_use_hidraw_dir_from_environment(), 0);
  CHECK_EQ(setenv(GPIO_DLL_HIDRAW_DIR_VARIABLE, "", 1), 0);
  CHECK_EQ(gpio_dll_use_hidraw_dir_from_environment(), 0);
  CHECK_EQ(setenv(GPIO_DLL_HIDRAW_DIR_VARIABLE, dir, 1), 0);
  CHECK_EQ(gpio_dll_use_hidraw_dir_from_environment(), 1);
  CHECK_EQ(gpio_dll_list_devices(devices, 2, &count), GPIO_DLL_C_OK);
  CHECK_EQ(count, 1);
  CHECK(strcmp(devices[0].path, node) == 0);
  CHECK_EQ(devices[0].opened, 0);
  CHECK_EQ(unsetenv(GPIO_DLL_HIDRAW_DIR_VARIABLE), 0);
  CHECK_EQ(gpio_dll_use_system(), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_use_hidraw_dir(dir), GPIO_DLL_C_OK);
  CHECK_EQ(gpio_dll_list_devices(devices, 2, &count), GPIO_DLL_C_OK);
  CHECK(count == 1 && strcmp(devices[0].path, node) == 0);
  CHECK_EQ(gpio_dll_use_hidraw_dir(NULL), GPIO_DLL_C_INVALID_ARGUMENT);
  CHECK_EQ(gpio_dll_use_system(), GPIO_DLL_C_OK);
  for (i = 4; i > 0; --i) {
    snprintf(path, sizeof path, "%s%s", dir, parts[i - 1]);
    CHECK_EQ(rmdir(path), 0);
  }
  CHECK_EQ(rmdir(dir), 0);
}

#define GROUP(call)                                      \
  do {                                                   \
    int before_ = failures;                              \
    call;                                                \
    if (failures != before_) fprintf(stderr, "in %s\n", #call); \
  } while (0)

int main(void) {
  GROUP(before_identification());
  GROUP(messages());
  GROUP(identify("2.0.19"));
  GROUP(smbus_words_and_bytes());
  GROUP(automation_error());
  GROUP(blocks());
  GROUP(lines("2.0.19"));
  GROUP(module_eeprom("2.0.19"));
  GROUP(pass_through_and_shutdown());
  GROUP(identify("1.0.10"));
  GROUP(smbus_words_and_bytes());
  GROUP(automation_error());
  GROUP(lines("1.0.10"));
  GROUP(module_eeprom("1.0.10"));
  GROUP(trace());
  GROUP(lock_failure());
  GROUP(platform_choices());
  GROUP(hidraw_folder());
  if (failures != 0) {
    fprintf(stderr, "%d checks failed\n", failures);
    return 1;
  }
  printf("all checks passed\n");
  return 0;
}
