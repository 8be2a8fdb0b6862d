/* The drawing interface of Tarn for code outside the program (the symbol
 * library): device contexts, pens, brushes and fonts behind opaque handles.
 *
 * Every handle is checked: a handle that is unknown, deleted or of the wrong
 * kind makes the call do nothing and answer 0 (or a null handle). Colours are
 * 0x00BBGGRR. Coordinates are device pixels, Y growing downward. Text is code
 * page 1251. Everything runs on the user-interface thread.
 *
 * The functions are defined in the program; a library that calls them is
 * linked without them and resolves them from the program when loaded. */
#ifndef TARN_PLATFORM_TARNGDI_H
#define TARN_PLATFORM_TARNGDI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Pointer-sized and opaque; never dereferenced by anyone. 0 is "none". */
typedef struct TgdiOpaque* TgdiHandle;
typedef uint32_t TgdiColor;

typedef struct TgdiPoint {
    int32_t X;
    int32_t Y;
} TgdiPoint;

typedef struct TgdiRect {
    int32_t Left;
    int32_t Top;
    int32_t Right;
    int32_t Bottom;
} TgdiRect;

/* A font request. Height < 0: character height in pixels; > 0: cell height
 * (ascent + descent); 0: the default size. Escapement: tenths of a degree,
 * anticlockwise about the reference point. Weight 0 is normal (400), 700
 * bold. FaceName: code page 1251, zero-terminated; a face the font system
 * does not have is drawn as "DejaVu Sans". */
typedef struct TgdiLogFont {
    int32_t Height;
    int32_t Width;
    int32_t Escapement;
    int32_t Orientation;
    int32_t Weight;
    uint8_t Italic;
    uint8_t Underline;
    uint8_t StrikeOut;
    uint8_t CharSet;
    uint8_t OutPrecision;
    uint8_t ClipPrecision;
    uint8_t Quality;
    uint8_t PitchAndFamily;
    char FaceName[32];
} TgdiLogFont;

enum {
    /* pen styles */
    TGDI_PS_SOLID = 0,
    TGDI_PS_DASH = 1,
    TGDI_PS_DOT = 2,
    TGDI_PS_DASHDOT = 3,
    TGDI_PS_DASHDOTDOT = 4,
    TGDI_PS_NULL = 5,
    TGDI_PS_INSIDEFRAME = 6,

    /* hatch styles */
    TGDI_HS_HORIZONTAL = 0,
    TGDI_HS_VERTICAL = 1,
    TGDI_HS_FDIAGONAL = 2, /* 45 degrees falling from left to right */
    TGDI_HS_BDIAGONAL = 3, /* 45 degrees rising from left to right */
    TGDI_HS_CROSS = 4,
    TGDI_HS_DIAGCROSS = 5,

    /* stock objects */
    TGDI_WHITE_BRUSH = 0,
    TGDI_LTGRAY_BRUSH = 1,
    TGDI_GRAY_BRUSH = 2,
    TGDI_DKGRAY_BRUSH = 3,
    TGDI_BLACK_BRUSH = 4,
    TGDI_NULL_BRUSH = 5, /* also the hollow brush */
    TGDI_WHITE_PEN = 6,
    TGDI_BLACK_PEN = 7,
    TGDI_NULL_PEN = 8,
    TGDI_SYSTEM_FONT = 13,

    /* mixes of pen (P) and screen (D) */
    TGDI_R2_BLACK = 1,
    TGDI_R2_NOTMERGEPEN = 2, /* ~(P | D) */
    TGDI_R2_MASKNOTPEN = 3,  /* ~P & D */
    TGDI_R2_NOTCOPYPEN = 4,  /* ~P */
    TGDI_R2_MASKPENNOT = 5,  /* P & ~D */
    TGDI_R2_NOT = 6,         /* ~D */
    TGDI_R2_XORPEN = 7,      /* P ^ D */
    TGDI_R2_NOTMASKPEN = 8,  /* ~(P & D) */
    TGDI_R2_MASKPEN = 9,     /* P & D */
    TGDI_R2_NOTXORPEN = 10,  /* ~(P ^ D) */
    TGDI_R2_NOP = 11,        /* D */
    TGDI_R2_MERGENOTPEN = 12, /* ~P | D */
    TGDI_R2_COPYPEN = 13,    /* P */
    TGDI_R2_MERGEPENNOT = 14, /* P | ~D */
    TGDI_R2_MERGEPEN = 15,   /* P | D */
    TGDI_R2_WHITE = 16,

    /* background modes */
    TGDI_TRANSPARENT = 1,
    TGDI_OPAQUE = 2,

    /* text alignment: one horizontal and one vertical value, or-ed */
    TGDI_TA_LEFT = 0,
    TGDI_TA_RIGHT = 2,
    TGDI_TA_CENTER = 6,
    TGDI_TA_TOP = 0,
    TGDI_TA_BOTTOM = 8,
    TGDI_TA_BASELINE = 24,

    /* stretch modes */
    TGDI_BLACKONWHITE = 1,
    TGDI_WHITEONBLACK = 2,
    TGDI_COLORONCOLOR = 3,
    TGDI_HALFTONE = 4,

    /* device caps */
    TGDI_HORZSIZE = 4,  /* millimetres */
    TGDI_VERTSIZE = 6,
    TGDI_HORZRES = 8,   /* pixels */
    TGDI_VERTRES = 10,
    TGDI_BITSPIXEL = 12,
    TGDI_PLANES = 14,
    TGDI_NUMCOLORS = 24,
    TGDI_RASTERCAPS = 38,
    TGDI_LOGPIXELSX = 88,
    TGDI_LOGPIXELSY = 90,
    TGDI_SIZEPALETTE = 104
};

/* Raster operations of block transfers (source S, pattern P, screen D). */
#define TGDI_SRCCOPY 0x00CC0020u   /* S */
#define TGDI_SRCPAINT 0x00EE0086u  /* S | D */
#define TGDI_SRCAND 0x008800C6u    /* S & D */
#define TGDI_SRCINVERT 0x00660046u /* S ^ D */
#define TGDI_NOTSRCCOPY 0x00330008u
#define TGDI_DSTINVERT 0x00550009u
#define TGDI_PATCOPY 0x00F00021u
#define TGDI_BLACKNESS 0x00000042u
#define TGDI_WHITENESS 0x00FF0062u

#define TGDI_RGB(r, g, b) ((TgdiColor)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))

/* Objects. Creating never fails for sane input; DeleteObject answers 0 for
 * stock objects, unknown handles and objects the program owns. Deleting an
 * object that is still selected somewhere only releases the handle: the
 * object stays in use until it is deselected. */
TgdiHandle TgdiCreatePen(int32_t style, int32_t width, TgdiColor color);
TgdiHandle TgdiCreateSolidBrush(TgdiColor color);
TgdiHandle TgdiCreateHatchBrush(int32_t hatch, TgdiColor color);
TgdiHandle TgdiCreateFont(const TgdiLogFont* font);
TgdiHandle TgdiGetStockObject(int32_t id);
int32_t TgdiDeleteObject(TgdiHandle object);
/* Answers the previously selected object of the same kind. */
TgdiHandle TgdiSelectObject(TgdiHandle dc, TgdiHandle object);

/* State. Each setter answers the previous value (0 on a bad handle). */
int32_t TgdiSaveDC(TgdiHandle dc);
int32_t TgdiRestoreDC(TgdiHandle dc, int32_t level); /* level < 0: relative */
int32_t TgdiSetROP2(TgdiHandle dc, int32_t mix);
int32_t TgdiGetROP2(TgdiHandle dc);
int32_t TgdiSetBkMode(TgdiHandle dc, int32_t mode);
TgdiColor TgdiSetBkColor(TgdiHandle dc, TgdiColor color);
TgdiColor TgdiSetTextColor(TgdiHandle dc, TgdiColor color);
uint32_t TgdiSetTextAlign(TgdiHandle dc, uint32_t align);
int32_t TgdiSetStretchBltMode(TgdiHandle dc, int32_t mode);
int32_t TgdiGetDeviceCaps(TgdiHandle dc, int32_t index);

/* Drawing, with the pixel rules of the system: lines leave out their last
 * pixel, rectangles and ellipses their right and bottom edge, polygons fill
 * odd-even. Each answers 1 when it drew or would have drawn. */
int32_t TgdiMoveTo(TgdiHandle dc, int32_t x, int32_t y);
int32_t TgdiLineTo(TgdiHandle dc, int32_t x, int32_t y);
int32_t TgdiPolyline(TgdiHandle dc, const TgdiPoint* points, int32_t count);
int32_t TgdiPolygon(TgdiHandle dc, const TgdiPoint* points, int32_t count);
int32_t TgdiRectangle(TgdiHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t TgdiEllipse(TgdiHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t TgdiFillRect(TgdiHandle dc, const TgdiRect* rect, TgdiHandle brush);
int32_t TgdiTextOut(TgdiHandle dc, int32_t x, int32_t y, const char* text, int32_t length);
int32_t TgdiGetTextExtent(TgdiHandle dc, const char* text, int32_t length, int32_t* cx, int32_t* cy);

#ifdef __cplusplus
}
#endif

#endif
