// The factory's object model: creation by class and interface, reference counts, arguments, and
// images that never hold on to the caller's buffer. Tiles are drawn from download threads, so
// factories and images are also used from several threads at once.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "platform/imaging/Imaging.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;

namespace {

constexpr uint32_t kBackground = 0x00102030;

IImagingFactory* NewFactory() {
  IImagingFactory* factory = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  return factory;
}

std::vector<uint32_t> Stripes(int width, int height, uint32_t a, uint32_t b) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back((x / 3 + y) % 2 ? a : b);
  }
  return pixels;
}

TEST(ImagingFactory, CreatedOnlyForItsClassInProcessWithoutAggregation) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  void* object = reinterpret_cast<void*>(0x1);
  const CLSID other = {0x327ABDA8, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2F}};
  EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, 0x4 /* local server */, IID_IImagingFactory, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImage, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, nullptr),
            E_POINTER);
  IImagingFactory* outer = NewFactory();
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, outer, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(outer->Release(), 0u);

  IUnknown* unknown = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&unknown)),
            S_OK);
  IImagingFactory* factory = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IImagingFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->Release(), 1u);
  EXPECT_EQ(unknown->Release(), 0u);
  CoUninitialize();
}

// Counts rise and fall by one and the last Release frees the object (ASan reports a leak or a
// double free otherwise).
TEST(ImagingFactory, ImagesAreReferenceCounted) {
  IImagingFactory* factory = NewFactory();
  const Bytes png = EncodeRgbPng(8, 4, Stripes(8, 4, 0x00FF0000, 0x000000FF));
  IImage* image = nullptr;
  ASSERT_EQ(factory->CreateImageFromBuffer(png.data(), UINT(png.size()), BufferDisposalFlagNone, &image), S_OK);
  EXPECT_EQ(factory->Release(), 0u);  // the image does not need its factory
  EXPECT_EQ(image->AddRef(), 2u);
  IImage* same = nullptr;
  ASSERT_EQ(image->QueryInterface(IID_IImage, reinterpret_cast<void**>(&same)), S_OK);
  EXPECT_EQ(same, image);
  void* wrong = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(image->QueryInterface(IID_IImagingFactory, &wrong), E_NOINTERFACE);
  EXPECT_EQ(wrong, nullptr);
  ImageInfo info{};
  EXPECT_EQ(image->GetImageInfo(&info), S_OK);
  EXPECT_EQ(info.Width, 8u);
  EXPECT_EQ(info.Height, 4u);
  EXPECT_EQ(image->GetImageInfo(nullptr), E_POINTER);
  EXPECT_EQ(image->Release(), 2u);
  EXPECT_EQ(image->Release(), 1u);
  EXPECT_EQ(image->Release(), 0u);
}

TEST(ImagingFactory, CreateImageFromBufferChecksItsArguments) {
  IImagingFactory* factory = NewFactory();
  const Bytes png = EncodeRgbPng(2, 2, {0, 0, 0, 0});
  IImage* image = reinterpret_cast<IImage*>(0x1);
  EXPECT_EQ(factory->CreateImageFromBuffer(png.data(), UINT(png.size()), BufferDisposalFlag(1), &image), E_INVALIDARG);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(factory->CreateImageFromBuffer(png.data(), UINT(png.size()), BufferDisposalFlagNone, nullptr), E_POINTER);
  factory->Release();
}

// The caller's buffer is read while the image is made and never after: it can be overwritten and
// freed (ASan reports any later read) while the image goes on drawing its own pixels.
TEST(ImagingFactory, ImageKeepsNothingOfTheCallersBuffer) {
  const std::vector<uint32_t> first = Stripes(32, 32, 0x00FF8000, 0x00FFFFFF);
  const std::vector<uint32_t> second = Stripes(32, 32, 0x00000000, 0x0000FF00);
  IImagingFactory* factory = NewFactory();
  auto buffer = std::make_unique<std::vector<uint8_t>>(EncodeRgbPng(32, 32, first));
  IImage* image = nullptr;
  ASSERT_EQ(factory->CreateImageFromBuffer(buffer->data(), UINT(buffer->size()), BufferDisposalFlagNone, &image), S_OK);
  // Overwrite the buffer with another valid image, make an image of that, then free the buffer.
  const Bytes other = EncodeRgbPng(32, 32, second);
  std::fill(buffer->begin(), buffer->end(), 0xEE);
  buffer->assign(other.begin(), other.end());
  IImage* otherImage = nullptr;
  ASSERT_EQ(factory->CreateImageFromBuffer(buffer->data(), UINT(buffer->size()), BufferDisposalFlagNone, &otherImage),
            S_OK);
  buffer.reset();

  const RECT dest = {0, 0, 32, 32};
  TestSurface a(32, 32, kBackground), b(32, 32, kBackground);
  ASSERT_EQ(image->Draw(a.dc(), &dest, nullptr), S_OK);
  ASSERT_EQ(otherImage->Draw(b.dc(), &dest, nullptr), S_OK);
  EXPECT_EQ(a.Pixels(), first);
  EXPECT_EQ(b.Pixels(), second);
  image->Release();
  otherImage->Release();
  factory->Release();
}

// Download threads each make a factory per tile and draw into their own layer at once.
TEST(ImagingFactory, ThreadsDrawTilesAtTheSameTime) {
  constexpr int kThreads = 4;
  constexpr int kTilesEach = 25;
  const std::vector<uint32_t> tile = Stripes(64, 64, 0x00FFFFFF, 0x00406080);
  const Bytes png = EncodeRgbPng(64, 64, tile);
  std::vector<std::unique_ptr<TestSurface>> layers;
  for (int t = 0; t < kThreads; ++t) layers.push_back(std::make_unique<TestSurface>(128, 128, kBackground));
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kTilesEach; ++i) {
        IImagingFactory* factory = nullptr;
        if (CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                             reinterpret_cast<void**>(&factory)) != S_OK) {
          ++failures[t];
          continue;
        }
        IImage* image = nullptr;
        const int x = (i % 2) * 64, y = (i / 2 % 2) * 64;
        const RECT dest = {x, y, x + 64, y + 64};
        if (factory->CreateImageFromBuffer(png.data(), UINT(png.size()), BufferDisposalFlagNone, &image) != S_OK ||
            image->Draw(layers[t]->dc(), &dest, nullptr) != S_OK) {
          ++failures[t];
        }
        if (image != nullptr) image->Release();
        factory->Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], 0);
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) ASSERT_EQ(layers[t]->At(x, y), tile[size_t(y % 64) * 64 + x % 64]);
    }
  }
}

}  // namespace
