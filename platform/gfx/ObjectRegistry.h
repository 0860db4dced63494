// The process's GDI objects and device contexts: the two handle tables, the stock objects and
// the lock that keeps selection and deletion consistent across threads.
#pragma once

#include <memory>
#include <mutex>

#include "platform/gfx/ContextState.h"
#include "platform/gfx/GraphicsObject.h"
#include "platform/kernel/HandleTable.h"

namespace gfx {

class ObjectRegistry {
 public:
  static ObjectRegistry& Instance();

  // Stores a new object and gives it its handle; null when the table is full.
  HGDIOBJ Add(std::shared_ptr<GraphicsObject> object);
  HDC Add(std::shared_ptr<ContextState> context);

  std::shared_ptr<GraphicsObject> Find(HGDIOBJ handle) const;
  std::shared_ptr<ContextState> Find(HDC handle) const;

  // Null for an index that names no stock object.
  HGDIOBJ Stock(int index) const;
  // The empty bitmap every memory context starts with.
  const std::shared_ptr<GraphicsObject>& DefaultBitmap() const { return defaultBitmap_; }

  // Fresh context state with the default bitmap, brush, pen and font selected.
  std::shared_ptr<ContextState> NewContext();

  HGDIOBJ Select(ContextState& context, const std::shared_ptr<GraphicsObject>& object);
  BOOL DeleteObject(HGDIOBJ handle);
  BOOL DeleteContext(HDC handle);

 private:
  ObjectRegistry();
  HGDIOBJ AddStock(int index, std::shared_ptr<GraphicsObject> object);
  static void Release(GraphicsObject& object);

  static constexpr int kStockSlots = 20;

  HandleTable<GraphicsObject> objects_;
  HandleTable<ContextState> contexts_;
  std::mutex selectionMutex_;
  HGDIOBJ stock_[kStockSlots] = {};
  std::shared_ptr<GraphicsObject> defaultBitmap_;
};

}  // namespace gfx
