/* OrvanMapLib: the street-map control.
 *
 * An embeddable child window of class "OMMapView" that shows a spherical-Mercator map of 256 x 256
 * tiles, downloads the tiles it needs on worker threads, and lets the user pan it with the stylus.
 * Usable from C and C++.
 *
 * Threads: call every function on the thread that created the control and runs its parent's message
 * loop (the GUI thread). The event handler is called on the GUI thread for painting and for tiles that
 * are already held, and on download threads for tiles that arrive later, possibly several at once:
 * it must be callable from any thread and concurrently with itself.
 *
 * Results: 1 for success, 0 for failure; every function except OMMapViewCreate returns 0 and does
 * nothing when the view handle is null. */
#ifndef ORVAN_MAPVIEW_OMMAPVIEW_H
#define ORVAN_MAPVIEW_OMMAPVIEW_H

#include <stdint.h>

/* Window and module instance handles, the same types as the platform's window manager uses
 * (platform/ui/Windows.h). Repeating a typedef of the same type is valid C++ and C11; the guard keeps
 * older C compilers happy when another header has declared them already. */
#ifdef __cplusplus
struct HWND__;
struct HINSTANCE__;
typedef HWND__* HWND;
typedef HINSTANCE__* HINSTANCE;
#elif !defined(ORVAN_HWND_DECLARED)
#define ORVAN_HWND_DECLARED 1
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The control object. Opaque to the application: only its address (the view handle) is used. */
typedef struct OMMapView OMMapView;

/* Event types reported to the EventHandler. Events 0 and 1 come in pairs, once per tile delivered;
 * events 2 and 3 come in pairs, once per paint. */
enum {
  OMEventTypeMapWillLoad = 0, /* a tile has arrived and is about to be drawn */
  OMEventTypeMapLoaded = 1,   /* that tile has been drawn */
  OMEventTypeMapWillDraw = 2, /* the window is about to be painted */
  OMEventTypeMapDrawn = 3     /* the window has been painted */
};
typedef int32_t OMEventType;

/* The application's event callback: (view, event type, 0, 0, the user data given with it). */
typedef void (*EventHandler)(OMMapView* view, int32_t eventType, int32_t reserved1, int32_t reserved2,
                             uint32_t userData);

/* Map types: 1 is spherical Mercator with zoom levels 1 to 17; every other value is refused. */
enum { OMMapTypeMercator = 1 };

/* Creates the control's child window at (left, top)-(right, bottom) in the parent's client
 * coordinates; WS_CHILD is always added to `style`. Returns the view handle, or null on failure.
 * The control shows nothing of a map until OMMapViewSetMap succeeds. */
OMMapView* OMMapViewCreate(uint32_t style, int32_t left, int32_t top, int32_t right, int32_t bottom, HWND parent,
                           HINSTANCE instance);

/* Destroys the control object, cancelling and awaiting its downloads; no event is reported after it
 * returns. The window goes with its parent (or may be destroyed by the application before or after
 * this call). Returns 1. */
int32_t OMMapViewDestroy(OMMapView* view);

/* Sets the map type, the centre (degrees, positive north and east) and the zoom. Returns 0 and
 * changes nothing for a map type other than 1, or for a latitude, longitude or zoom that is NaN or
 * infinite. Tiles already held are drawn, with their events,
 * before it returns. Must succeed once before the four functions below are used. */
int32_t OMMapViewSetMap(OMMapView* view, int32_t mapType, double latitude, double longitude, double zoom);

/* Moves the centre, keeping the zoom. Returns 0 and changes nothing for NaN or infinity. */
int32_t OMMapViewSetCenter(OMMapView* view, double latitude, double longitude);

/* Changes the zoom (not compared with the limits), keeping the point at the window's centre.
 * A zoom whose level (the zoom truncated toward zero) has no tiles, below 1 or from 18 up, is kept:
 * the control then shows the placeholder grid, ignores drags and downloads nothing, and keeps its
 * centre for the next zoom that has a level. NaN and infinity are refused: 0, nothing changes. */
int32_t OMMapViewSetZoom(OMMapView* view, double zoom);

/* Zoom plus 1.0; 0 and nothing changes when the zoom is already at or above the upper limit (17). */
int32_t OMMapViewZoomIn(OMMapView* view);

/* Zoom minus 1.0; 0 and nothing changes when the zoom is already at or below the lower limit (1). */
int32_t OMMapViewZoomOut(OMMapView* view);

/* Stores the event handler (null: no events) and the user data handed back with every event. */
int32_t OMMapViewSetEventHandler(OMMapView* view, EventHandler handler, uint32_t userData);

/* ---- Position queries ----
 * The functions below return 0 and write nothing for a null view or a null result pointer, and
 * before OMMapViewSetMap has succeeded. "Shown" means what the window shows at this moment: the
 * committed position moved by a pan not yet folded into it and by a drag in progress. */

/* The position shown at the window's centre, in degrees. While the zoom has no tile level: the
 * stored centre. */
int32_t OMMapViewGetCenter(OMMapView* view, double* latitude, double* longitude);

/* The zoom, as last set. */
int32_t OMMapViewGetZoom(OMMapView* view, double* zoom);

/* The position (degrees) of the north-west corner of the pixel shown at the control's client
 * point (x, y); points outside the window are allowed. 0 also while the zoom has no tile level. */
int32_t OMMapViewPointToLatLon(OMMapView* view, int32_t x, int32_t y, double* latitude, double* longitude);

/* The client point at which a position is shown (it may lie outside the window); the inverse of
 * OMMapViewPointToLatLon within one pixel. 0 also while the zoom has no tile level, for NaN or
 * infinity, and for a position whose point does not fit 32 bits. */
int32_t OMMapViewLatLonToPoint(OMMapView* view, double latitude, double longitude, int32_t* x, int32_t* y);

/* Shows the box from (south, west) to (north, east), degrees, at the deepest zoom level within the
 * zoom limits (1 to 17) at which both corners' points lie inside the window, centred on the middle
 * of the box's projected pixels; at the lower limit when it fits at no level. The box does not
 * cross the 180th meridian. 0 and nothing changes for NaN or infinity, south > north or
 * west > east. */
int32_t OMMapViewFitBounds(OMMapView* view, double south, double west, double north, double east);

/* Flick panning (off until turned on): with `enabled` nonzero, a drag released while the stylus
 * still moves lets the map glide on the same way, slowing down until it stops within about a
 * second; tiles are fetched as it goes, a new stylus-down stops it where it is, and so does any
 * new position or zoom. 0 turns it off (a glide under way stops). */
int32_t OMMapViewSetFlickPanning(OMMapView* view, int32_t enabled);

/* The control's child window (to move it, give it the focus), or null for a null view. */
HWND OMMapViewGetWindow(OMMapView* view);

/* Desktop input, always on: the mouse wheel over the control zooms one level per notch around the
 * point under the pointer, within the zoom limits. While the control has the keyboard focus, the
 * arrow keys pan by a quarter of the window, + and - zoom one level at the centre and Home goes back
 * to the position and zoom of the latest OMMapViewSetMap. */

/* Called on the GUI thread after the centre or the zoom changed: after each successful
 * OMMapViewSetMap, OMMapViewSetCenter, OMMapViewSetZoom, OMMapViewZoomIn, OMMapViewZoomOut and
 * OMMapViewFitBounds (before it returns), after a double tap that zoomed and after a drag that
 * moved the map, once the stylus is lifted (never while it moves); after a wheel turn or a key that
 * moved or zoomed the map, and when a flick's glide ends. */
typedef void (*OMViewChangedHandler)(OMMapView* view, void* userData);

/* Stores the view-changed handler (null: none) and the user data handed back with it. Separate
 * from the event handler. */
int32_t OMMapViewSetViewChangedHandler(OMMapView* view, OMViewChangedHandler handler, void* userData);

/* ---- Tile sources ----
 * Every text below is UTF-8 and is copied; the control keeps no pointer to it. */

/* Chooses where tiles come from:
 *   "default"            the seed's tile servers through the device's HTTP client (the initial state);
 *   "mbtiles:PATH"       an MBTiles file, read only and offline;
 *   "upstream:TEMPLATE"  a tile service, http:// or https:// with {z}, {x} and {y}, and optionally
 *                        {s} with its subdomains ("{s:a,b,c}"); needs OMMapViewSetTileContact first.
 *                        Tiles are kept in a disk cache shared with the user's other programs
 *                        ($XDG_CACHE_HOME or ~/.cache, then orvanmap; at most 256 MiB per service,
 *                        least recently used tiles removed first); a cache that cannot be opened
 *                        is not an error: the tiles are then fetched every time.
 * Returns 1, drops the tiles held and redraws; downloads of the old source are cancelled without
 * waiting for them. Returns 0 and keeps the current source on any error, with a one-line reason
 * from OMMapViewGetLastError. A file is opened and checked before this returns, within a bound of
 * a few seconds for any file (a hostile or slow file is refused, never waited on for ever). */
int32_t OMMapViewSetTileSource(OMMapView* view, const char* source);

/* The operator's contact (an e-mail address or a web page) that goes into the User-Agent of
 * upstream requests, as public tile services ask. Applies to sources set afterwards. 1; 0 for a
 * null view or text, or text with line breaks. */
int32_t OMMapViewSetTileContact(OMMapView* view, const char* contact);

/* The attribution drawn in small text at the control's bottom-right corner: null or "" draws the
 * source's own (an MBTiles file's `attribution`), any other text replaces it. The "default" source
 * draws none unless given one. 1; 0 for a null view. */
int32_t OMMapViewSetAttribution(OMMapView* view, const char* text);

/* ---- Markers ----
 * Images pinned to positions, drawn over the map (under the attribution) in the order added, the
 * last on top, and moving with it during a drag. */

/* Adds a marker at (latitude, longitude), degrees, showing the `size` bytes at `image`, a PNG,
 * JPEG or WebP image decoded once and copied (the bytes stay the caller's); its pixel
 * (anchorX, anchorY) is placed on the position, and its transparent pixels show the map. A null
 * `image` shows the built-in pin, 19 x 30 pixels with its tip at pixel (9, 29): pass that anchor
 * to put the tip on the position. Returns the marker's id (> 0), or 0 with a reason from
 * OMMapViewGetLastError for NaN or infinity, or bytes that are no image within the limits tiles
 * have (4096 pixels a side). Markers may be added before OMMapViewSetMap; they are drawn once a map
 * is shown. */
int32_t OMMapViewAddMarker(OMMapView* view, double latitude, double longitude, const uint8_t* image, uint32_t size,
                           int32_t anchorX, int32_t anchorY);

/* Moves a marker. 0 with a reason for an unknown id, NaN or infinity. */
int32_t OMMapViewMoveMarker(OMMapView* view, int32_t id, double latitude, double longitude);

/* Removes a marker. 0 with a reason for an unknown id. */
int32_t OMMapViewRemoveMarker(OMMapView* view, int32_t id);

/* Removes every marker. 1. */
int32_t OMMapViewClearMarkers(OMMapView* view);

/* Called on the GUI thread with a marker's id when the user taps it: the stylus goes down on a
 * pixel of its image that is not fully transparent and comes up within 4 pixels on each axis of
 * that point, and the stylus-down was not the second tap of a double tap. Where markers overlap
 * the last added wins. Such a tap does not pan the map. Without a handler taps act on the map. */
typedef void (*OMMarkerTapHandler)(OMMapView* view, int32_t markerId, void* userData);

/* Stores the marker tap handler (null: none) and the user data handed back with it. 1. */
int32_t OMMapViewSetMarkerTapHandler(OMMapView* view, OMMarkerTapHandler handler, void* userData);

/* ---- Tracks ----
 * Lines through positions, drawn over the map and under the markers in the order added, with
 * round joins and ends, and moving with the map during a drag. At each zoom level a track is
 * drawn through its points' pixels, leaving out points within half a pixel of the line drawn
 * instead (so every turn wider than a pixel shows, and a long track draws about as fast as what
 * can be seen of it). */

/* Adds a track through `count` points given as `2 * count` doubles at `latLon`: latitude,
 * longitude, latitude, longitude, ... (degrees), copied. `rgb` is its colour as 0xRRGGBB (the
 * top byte is ignored), `widthPixels` its width, 1 to 64. Returns the track's id (> 0), or 0 with
 * a reason from OMMapViewGetLastError for null points, fewer than 2 or more than 10,000,000 points,
 * a latitude outside -90 to 90 or a longitude outside -180 to 180 (NaN and infinity included), or
 * a width outside 1 to 64. Tracks may be added before OMMapViewSetMap; they are drawn once a map
 * is shown. */
int32_t OMMapViewAddPolyline(OMMapView* view, const double* latLon, uint32_t count, uint32_t rgb,
                             int32_t widthPixels);

/* Removes a track. 0 with a reason for an unknown id. */
int32_t OMMapViewRemovePolyline(OMMapView* view, int32_t id);

/* The reason the latest call of this view that returned 0 failed, one line of UTF-8; "" when there
 * is none. Valid until the next call on the view. */
const char* OMMapViewGetLastError(OMMapView* view);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ORVAN_MAPVIEW_OMMAPVIEW_H */
