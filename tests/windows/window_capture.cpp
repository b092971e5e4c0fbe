#include "window_capture.hpp"

#include <cstdint>
#include <fstream>
#include <vector>

namespace gpio_dll::testing {

bool save_window_bitmap(HWND window, const std::string& path) {
  if (!IsWindow(window)) return false;
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT frame{};
  if (!GetWindowRect(window, &frame)) return false;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return false;

  HDC source = GetWindowDC(window);
  if (source == nullptr) return false;
  HDC memory = CreateCompatibleDC(source);
  HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != 0;
  SelectObject(memory, previous);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as a BMP file stores its rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  std::vector<char> pixels(row * static_cast<std::size_t>(height));
  const int rows = copied ? GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                      reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)
                          : 0;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, source);
  if (rows != height) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

}  // namespace gpio_dll::testing
