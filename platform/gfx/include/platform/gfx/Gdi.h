// The platform's drawing interface (GDI subset): memory device contexts, compatible bitmaps,
// brushes, pens and fonts, bit-block copies, the colour-keyed copy, rectangles and text.
//
// Objects and contexts are named by handles that are validated on every call: a deleted or
// unknown handle makes the call fail (null, FALSE or CLR_INVALID, last error
// ERROR_INVALID_HANDLE) and never touches freed memory. Stock objects are never freed;
// DeleteObject on one succeeds and does nothing.
//
// Bitmaps are 32-bit XRGB. A new bitmap is black (all pixels 0), as the platform's are.
//
// Threads: a context and the bitmap selected into it are used by one thread at a time, but
// distinct contexts and bitmaps may be used from different threads at once; creating, selecting
// and deleting objects, and drawing text, are safe from any thread.
#pragma once

#include "platform/gfx/GdiTypes.h"

// GetStockObject indices.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

// Raster operation of BitBlt: only the plain copy is supported.
constexpr DWORD SRCCOPY = 0x00CC0020;

// Pen styles: a solid pen (width 0 and 1 both draw one pixel) and the null pen.
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
// The widest pen CreatePen makes, in pixels.
constexpr int kMaxPenWidth = 256;

// Results of IntersectClipRect: the kind of clip left.
constexpr int ERROR_REGION = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;

// Background modes for text.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Result of GetPixel / SetPixel outside the clip rectangle, and of the colour setters on failure.
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// ---- Contexts and objects ----

// A memory context with no bitmap of its own (its stock default bitmap is empty: drawing into it
// does nothing until a bitmap is selected). `reference` may be null or any live context;
// all contexts share one pixel format. Null when `reference` is not a live context.
HDC CreateCompatibleDC(HDC reference);

// Deletes a memory or surface context. Objects selected into it are released (a bitmap that was
// selected may then be selected elsewhere or deleted); they are not deleted.
BOOL DeleteDC(HDC dc);

// A black `width` x `height` bitmap (0 x 0 is allowed and gives an empty bitmap). Null with
// ERROR_INVALID_PARAMETER for a negative size or one beyond the limits, ERROR_NOT_ENOUGH_MEMORY
// when the pixels cannot be allocated, ERROR_INVALID_HANDLE when `dc` is not a live context.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A black bitmap whose pixels the caller reads and writes directly: *bits receives the first row,
// rows follow one another without gaps (4 * width bytes each), and the pointer stays valid until
// the bitmap is deleted. Drawing into a context the bitmap is selected into shows in the bits at
// once, and the bits are what copies from it read. Only 32-bit BI_RGB top-down descriptions
// (negative biHeight), DIB_RGB_COLORS, no section handle: anything else, or a size beyond the
// limits of CreateCompatibleBitmap, gives null with ERROR_INVALID_PARAMETER (*bits null).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

HBRUSH CreateSolidBrush(COLORREF color);
// `style` PS_SOLID or PS_NULL, `width` 0 to kMaxPenWidth; null with ERROR_INVALID_PARAMETER
// otherwise.
HPEN CreatePen(int style, int width, COLORREF color);

HGDIOBJ GetStockObject(int index);

// Selects a bitmap, brush, pen or font into the context and returns the previously selected
// object of that kind. Null (nothing changes) when either handle is not live, when the bitmap is
// selected into another context, or when a bitmap is selected into a surface context (a window's
// context draws into its window, not into a bitmap).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

// Deletes a bitmap, brush, pen or font. FALSE while the object is selected into a context
// (select the previous object back first). Stock objects: TRUE, nothing happens.
BOOL DeleteObject(HGDIOBJ object);

// ---- Copies and fills (logical coordinates: offset by the context's origin, clipped to its clip) ----

// Copies `width` x `height` pixels from (`srcX`, `srcY`) of `src` to (`x`, `y`) of `dst`. Only
// pixels whose source lies inside the source context's area are copied; the rest of the
// destination keeps its pixels. Source and destination may overlap in one surface (the copy
// behaves like memmove). FALSE for a raster operation other than SRCCOPY.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);

// Copies like BitBlt but leaves out every source pixel equal to `transparent`, where the
// destination keeps its pixel. The source size must equal the destination size (scaling is not
// supported: FALSE with ERROR_INVALID_PARAMETER).
BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                      int srcHeight, COLORREF transparent);

// Draws a rectangle with the selected pen and brush. With the null pen the interior
// columns left .. right - 2 and rows top .. bottom - 2 are filled; with a one-pixel pen the
// outline covers left .. right - 1 and top .. bottom - 1 and the brush fills inside it. Reversed
// corners are put in order first.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);

// Fills `rect` without its right column and bottom row with `brush` (the null brush paints
// nothing). An empty or reversed rectangle paints nothing.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// Draws the lines from each point to the next with the selected pen: every pixel whose centre lies
// closer than half the pen's width to a line between the points' pixel centres (odd widths) or
// pixel corners (even widths: the line then has exactly the pen's width). So joins and ends are
// round, and a line of width 1 is one pixel thick. No anti-aliasing; the null pen draws nothing.
// FALSE with ERROR_INVALID_PARAMETER for null points or fewer than 2.
BOOL Polyline(HDC dc, const POINT* points, int count);

// ---- Clipping ----

// Narrows the context's clip to its intersection with the rectangle (logical coordinates, right
// and bottom exclusive). Returns NULLREGION when nothing is left, else SIMPLEREGION; ERROR_REGION
// for a context that is not live.
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
// Keeps the context's clip on a stack and returns its depth (> 0), 0 on failure. Only the clip is
// kept: selected objects and colours are not.
int SaveDC(HDC dc);
// Restores the clip kept by SaveDC at depth `level` (negative: that many back from the latest)
// and drops it and every later one. FALSE for a level that was not saved.
BOOL RestoreDC(HDC dc, int level);

// Sets one pixel; returns the colour set, or CLR_INVALID outside the clip rectangle.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
// One pixel's colour, or CLR_INVALID outside the clip rectangle.
COLORREF GetPixel(HDC dc, int x, int y);

// ---- Text ----

constexpr int LF_FACESIZE = 32;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;

// A font request. Honoured: lfHeight (< 0: character height in pixels; > 0: line height in
// pixels, ascent plus descent; 0: the default height), lfWeight (FW_SEMIBOLD and above draw
// bold, with synthetic emboldening when the family has no bold face) and lfFaceName (a family
// name; empty or unknown families fall back to the default Hangul-capable family). The other
// fields are accepted and ignored. Glyphs a family lacks are taken from any installed font
// that has them.
struct LOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};

// Null with ERROR_INVALID_PARAMETER for a null request or a height beyond the limit.
HFONT CreateFontIndirectW(const LOGFONTW* font);

// DrawTextW formats.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;

// Text colour and background of the context; each returns the previous value (CLR_INVALID or 0
// for a context that is not live). New contexts draw black text, OPAQUE on white.
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);

// Draws UTF-16 text (`count` units, or -1 for a terminated string) into `rect` with the selected
// font and the text colour; with OPAQUE the lines' boxes are first filled with the background
// colour. Lines break at line feeds (unless DT_SINGLELINE) and, with DT_WORDBREAK, at spaces
// where a line would be wider than the rectangle. DT_VCENTER and DT_BOTTOM place the whole block
// of lines. Without DT_NOPREFIX an '&' is dropped and marks the next character as the mnemonic,
// and "&&" draws one '&'. Drawing is clipped to the rectangle unless DT_NOCLIP. DT_CALCRECT draws
// nothing and sets the rectangle's right and bottom to fit the text. Returns the height of the
// text (from the rectangle's top to the text's bottom with DT_VCENTER or DT_BOTTOM), 0 on failure.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);

// Width of `count` units of text in the selected font, and the line height.
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
