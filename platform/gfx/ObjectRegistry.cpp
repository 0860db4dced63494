#include "platform/gfx/ObjectRegistry.h"

#include "platform/gfx/Gdi.h"
#include "platform/gfx/RectMath.h"

namespace gfx {

namespace {

constexpr LONG kStockFontHeight = -13;  // character height of the stock GUI fonts, in pixels

std::shared_ptr<GraphicsObject> MakeColored(ObjectKind kind, COLORREF color, bool isNull) {
  auto object = std::make_shared<GraphicsObject>();
  object->kind = kind;
  object->color = color;
  object->isNull = isNull;
  return object;
}

std::shared_ptr<GraphicsObject> MakeStockFont() {
  auto object = std::make_shared<GraphicsObject>();
  object->kind = ObjectKind::Font;
  object->font.height = kStockFontHeight;
  return object;
}

}  // namespace

ObjectRegistry& ObjectRegistry::Instance() {
  static ObjectRegistry registry;
  return registry;
}

ObjectRegistry::ObjectRegistry()
    : objects_(kGdiObjectHandleTag, kMaxLiveUserObjects), contexts_(kDeviceContextHandleTag, kMaxLiveUserObjects) {
  AddStock(WHITE_BRUSH, MakeColored(ObjectKind::Brush, 0x00FFFFFF, false));
  AddStock(LTGRAY_BRUSH, MakeColored(ObjectKind::Brush, 0x00C0C0C0, false));
  AddStock(GRAY_BRUSH, MakeColored(ObjectKind::Brush, 0x00808080, false));
  AddStock(DKGRAY_BRUSH, MakeColored(ObjectKind::Brush, 0x00404040, false));
  AddStock(BLACK_BRUSH, MakeColored(ObjectKind::Brush, 0x00000000, false));
  AddStock(NULL_BRUSH, MakeColored(ObjectKind::Brush, 0, true));
  AddStock(WHITE_PEN, MakeColored(ObjectKind::Pen, 0x00FFFFFF, false));
  AddStock(BLACK_PEN, MakeColored(ObjectKind::Pen, 0x00000000, false));
  AddStock(NULL_PEN, MakeColored(ObjectKind::Pen, 0, true));
  AddStock(SYSTEM_FONT, MakeStockFont());
  AddStock(DEFAULT_GUI_FONT, MakeStockFont());
  defaultBitmap_ = std::make_shared<GraphicsObject>();
  defaultBitmap_->kind = ObjectKind::Bitmap;
  defaultBitmap_->stock = true;
  Add(defaultBitmap_);
}

HGDIOBJ ObjectRegistry::AddStock(int index, std::shared_ptr<GraphicsObject> object) {
  object->stock = true;
  stock_[index] = Add(std::move(object));
  return stock_[index];
}

HGDIOBJ ObjectRegistry::Add(std::shared_ptr<GraphicsObject> object) {
  GraphicsObject* raw = object.get();
  // The handle is written before the object is published, under the table's lock.
  std::lock_guard<std::mutex> lock(selectionMutex_);
  const uintptr_t handle = objects_.Insert(std::move(object));
  raw->handle = handle;
  return reinterpret_cast<HGDIOBJ>(handle);
}

HDC ObjectRegistry::Add(std::shared_ptr<ContextState> context) {
  ContextState* raw = context.get();
  std::lock_guard<std::mutex> lock(selectionMutex_);
  const uintptr_t handle = contexts_.Insert(std::move(context));
  raw->handle = handle;
  return reinterpret_cast<HDC>(handle);
}

std::shared_ptr<GraphicsObject> ObjectRegistry::Find(HGDIOBJ handle) const {
  return objects_.Find(reinterpret_cast<uintptr_t>(handle));
}

std::shared_ptr<ContextState> ObjectRegistry::Find(HDC handle) const {
  return contexts_.Find(reinterpret_cast<uintptr_t>(handle));
}

HGDIOBJ ObjectRegistry::Stock(int index) const {
  if (index < 0 || index >= kStockSlots) return nullptr;
  return stock_[index];
}

std::shared_ptr<ContextState> ObjectRegistry::NewContext() {
  auto context = std::make_shared<ContextState>();
  std::lock_guard<std::mutex> lock(selectionMutex_);
  context->bitmap = defaultBitmap_;
  context->brush = objects_.Find(reinterpret_cast<uintptr_t>(stock_[WHITE_BRUSH]));
  context->pen = objects_.Find(reinterpret_cast<uintptr_t>(stock_[BLACK_PEN]));
  context->font = objects_.Find(reinterpret_cast<uintptr_t>(stock_[SYSTEM_FONT]));
  ++context->brush->selections;
  ++context->pen->selections;
  ++context->font->selections;
  return context;
}

void ObjectRegistry::Release(GraphicsObject& object) {
  if (object.kind == ObjectKind::Bitmap) object.selectedInto = 0;
  else --object.selections;
}

HGDIOBJ ObjectRegistry::Select(ContextState& context, const std::shared_ptr<GraphicsObject>& object) {
  std::lock_guard<std::mutex> lock(selectionMutex_);
  // Another thread may have deleted either one since it was looked up.
  if (objects_.Find(object->handle) != object || contexts_.Find(context.handle).get() != &context) return nullptr;
  std::shared_ptr<GraphicsObject>* slot = nullptr;
  switch (object->kind) {
    case ObjectKind::Bitmap:
      if (context.isSurfaceContext) return nullptr;
      if (!object->stock && object->selectedInto != 0 && object->selectedInto != context.handle) return nullptr;
      slot = &context.bitmap;
      break;
    case ObjectKind::Brush: slot = &context.brush; break;
    case ObjectKind::Pen: slot = &context.pen; break;
    case ObjectKind::Font: slot = &context.font; break;
  }
  std::shared_ptr<GraphicsObject> previous = *slot;
  if (previous != object) {
    Release(*previous);
    if (object->kind == ObjectKind::Bitmap) {
      if (!object->stock) object->selectedInto = context.handle;
    } else {
      ++object->selections;
    }
    *slot = object;
  }
  return reinterpret_cast<HGDIOBJ>(previous->handle);
}

BOOL ObjectRegistry::DeleteObject(HGDIOBJ handle) {
  std::lock_guard<std::mutex> lock(selectionMutex_);
  std::shared_ptr<GraphicsObject> object = objects_.Find(reinterpret_cast<uintptr_t>(handle));
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->stock) return TRUE;
  if (object->selectedInto != 0 || object->selections > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  objects_.Remove(object->handle);
  return TRUE;
}

BOOL ObjectRegistry::DeleteContext(HDC handle) {
  std::lock_guard<std::mutex> lock(selectionMutex_);
  std::shared_ptr<ContextState> context = contexts_.Remove(reinterpret_cast<uintptr_t>(handle));
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  for (auto* slot : {&context->bitmap, &context->brush, &context->pen, &context->font}) Release(**slot);
  return TRUE;
}

DrawTarget TargetOf(const ContextState& context) {
  DrawTarget target;
  if (context.isSurfaceContext) {
    target = DrawTarget{context.surface, context.originX, context.originY, context.clip};
  } else {
    const GraphicsObject& bitmap = *context.bitmap;
    target = DrawTarget{PixelSurface{bitmap.pixels.get(), bitmap.width, bitmap.height, bitmap.width}, 0, 0,
                        RECT{0, 0, bitmap.width, bitmap.height}};
  }
  if (context.narrowed) {
    Box box = Intersect(BoxOf(target.clip), BoxOf(context.narrowClip));
    if (box.Empty()) box = Box{0, 0, 0, 0};
    target.clip = RECT{LONG(box.left), LONG(box.top), LONG(box.right), LONG(box.bottom)};
  }
  return target;
}

}  // namespace gfx
