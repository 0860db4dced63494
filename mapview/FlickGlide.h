// Flick panning: a drag released while the stylus still moves keeps the map gliding the same way,
// slowing down until it stops within a second. It runs on a window timer that exists only while
// the map glides, and pans through the same path as a released drag (tiles are requested as the
// viewport leaves the layers). Off unless the application turns it on.
#pragma once

#include "mapview/MapViewRecord.h"

// The timer id of the glide on the control's window.
constexpr UINT_PTR kGlideTimer = 0x474C;
// Milliseconds between glide steps (about a display frame).
constexpr UINT kGlideStepMs = 16;
// The stylus points of the last this many milliseconds before the lift give its speed; a stylus
// that has not moved for kFlickStillMs before the lift was held still, and does not flick.
constexpr DWORD kFlickWindowMs = 100;
constexpr DWORD kFlickStillMs = 60;
// Slower than this (pixels per millisecond) is no flick; faster is capped.
constexpr double kFlickMinSpeed = 0.25;
constexpr double kFlickMaxSpeed = 4.0;
// The speed falls as exp(-t / kGlideDecayMs); the glide ends when it is below kGlideEndSpeed or
// after kGlideMaxMs, whichever comes first.
constexpr double kGlideDecayMs = 200.0;
constexpr double kGlideEndSpeed = 0.03;
constexpr DWORD kGlideMaxMs = 1000;

// A stylus point of a drag (down and every move), with the tick count it came at.
void NoteStylusSample(OMMapView* view, int32_t x, int32_t y, DWORD time);
// The stylus was lifted at (x, y) after a drag that panned the map: starts a glide when flick
// panning is on and the stylus was moving fast enough. True when a glide started.
bool StartGlide(OMMapView* view, int32_t x, int32_t y, DWORD time);
// One timer step: pans by what the glide covered since the last step; ends the glide (timer
// killed, view-changed reported) when it has run out or met the world's edge.
void StepGlide(OMMapView* view, DWORD time);
// Ends a glide at once where it is (nothing when none runs). No view-changed report.
void StopGlide(OMMapView* view);
