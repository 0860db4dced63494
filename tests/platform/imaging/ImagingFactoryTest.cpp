// The factory's object model: creation by class and interface, reference counts, images that
// keep nothing of the caller's buffer, and factories and images used from several threads at
// once (tiles are drawn from download threads).
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "platform/imaging/Imaging.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;

namespace {

template <typename T>
HRESULT Create(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, T** out) {
  *out = reinterpret_cast<T*>(0x1);  // must be cleared on failure
  return CoCreateInstance(clsid, outer, context, iid, reinterpret_cast<void**>(out));
}

std::vector<uint32_t> Stripes(uint32_t a, uint32_t b) {
  std::vector<uint32_t> pixels;
  for (int i = 0; i < 32 * 32; ++i) pixels.push_back((i % 32 / 3 + i / 32) % 2 ? a : b);
  return pixels;
}

TEST(ImagingFactory, MadeOnlyForItsClassInProcessWithoutAggregation) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  IImagingFactory* factory;
  CLSID other = CLSID_ImagingFactory;
  other.Data4[7] ^= 1;
  EXPECT_EQ(Create(other, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &factory), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(Create(CLSID_ImagingFactory, nullptr, 0x4 /* local server */, IID_IImagingFactory, &factory),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(Create(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImage, &factory), E_NOINTERFACE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, nullptr),
            E_POINTER);
  IUnknown* unknown;
  ASSERT_EQ(Create(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &unknown), S_OK);
  EXPECT_EQ(Create(CLSID_ImagingFactory, unknown, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &factory),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory, nullptr);
  ASSERT_EQ(unknown->QueryInterface(IID_IImagingFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->Release(), 1u);
  EXPECT_EQ(unknown->Release(), 0u);
  CoUninitialize();
}

// Counts rise and fall by one and the last Release frees (ASan reports a leak or double free).
TEST(ImagingFactory, ImagesAreReferenceCountedAndOutliveTheirFactory) {
  IImagingFactory* factory;
  ASSERT_EQ(Create(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &factory), S_OK);
  const Bytes png = EncodeRgbPng(8, 4, std::vector<uint32_t>(32, 0));
  IImage* image = reinterpret_cast<IImage*>(0x1);
  EXPECT_EQ(factory->CreateImageFromBuffer(png.data(), UINT(png.size()), BufferDisposalFlag(1), &image), E_INVALIDARG);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(factory->CreateImageFromBuffer(png.data(), 0, BufferDisposalFlagNone, &image), E_INVALIDARG);
  EXPECT_EQ(factory->CreateImageFromBuffer(png.data(), 7, BufferDisposalFlagNone, &image), E_FAIL);
  ASSERT_EQ(factory->CreateImageFromBuffer(png.data(), UINT(png.size()), BufferDisposalFlagNone, &image), S_OK);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(image->AddRef(), 2u);
  IImage* same = nullptr;
  ASSERT_EQ(image->QueryInterface(IID_IImage, reinterpret_cast<void**>(&same)), S_OK);
  EXPECT_EQ(same, image);
  void* wrong = &wrong;
  EXPECT_EQ(image->QueryInterface(IID_IImagingFactory, &wrong), E_NOINTERFACE);
  EXPECT_EQ(wrong, nullptr);
  ImageInfo info{};
  EXPECT_EQ(image->GetImageInfo(&info), S_OK);
  EXPECT_TRUE(info.Width == 8 && info.Height == 4);
  EXPECT_EQ(image->Release(), 2u);
  EXPECT_EQ(image->Release(), 1u);
  EXPECT_EQ(image->Release(), 0u);
}

// The buffer is read while the image is made and never after: it is overwritten with another
// image, made into a second image, and freed (ASan reports any later read); each image still
// draws its own pixels.
TEST(ImagingFactory, ImageKeepsNothingOfTheCallersBuffer) {
  const std::vector<uint32_t> first = Stripes(0x00FF8000, 0x00FFFFFF), second = Stripes(0, 0x0000FF00);
  IImagingFactory* factory;
  ASSERT_EQ(Create(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &factory), S_OK);
  auto buffer = std::make_unique<Bytes>(EncodeRgbPng(32, 32, first));
  IImage *a = nullptr, *b = nullptr;
  ASSERT_EQ(factory->CreateImageFromBuffer(buffer->data(), UINT(buffer->size()), BufferDisposalFlagNone, &a), S_OK);
  *buffer = EncodeRgbPng(32, 32, second);
  ASSERT_EQ(factory->CreateImageFromBuffer(buffer->data(), UINT(buffer->size()), BufferDisposalFlagNone, &b), S_OK);
  buffer.reset();
  const RECT dest = {0, 0, 32, 32};
  TestSurface sa(32, 32, 0), sb(32, 32, 0);
  ASSERT_EQ(a->Draw(sa.dc(), &dest, nullptr), S_OK);
  ASSERT_EQ(b->Draw(sb.dc(), &dest, nullptr), S_OK);
  EXPECT_EQ(sa.Pixels(), first);
  EXPECT_EQ(sb.Pixels(), second);
  a->Release();
  b->Release();
  factory->Release();
}

TEST(ImagingFactory, ThreadsEachMakeAFactoryPerTileAndDrawAtOnce) {
  constexpr int kThreads = 4, kTiles = 25;
  const std::vector<uint32_t> tile = Stripes(0x00FFFFFF, 0x00406080);
  const Bytes png = EncodeRgbPng(32, 32, tile);
  std::vector<std::unique_ptr<TestSurface>> layers;
  for (int t = 0; t < kThreads; ++t) layers.push_back(std::make_unique<TestSurface>(64, 64, 0));
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kTiles; ++i) {
        IImagingFactory* factory = nullptr;
        IImage* image = nullptr;
        const RECT dest = {i % 2 * 32, i / 2 % 2 * 32, i % 2 * 32 + 32, i / 2 % 2 * 32 + 32};
        failures[t] +=
            CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                             reinterpret_cast<void**>(&factory)) != S_OK ||
            factory->CreateImageFromBuffer(png.data(), UINT(png.size()), BufferDisposalFlagNone, &image) != S_OK ||
            image->Draw(layers[t]->dc(), &dest, nullptr) != S_OK;
        if (image != nullptr) image->Release();
        if (factory != nullptr) factory->Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], 0);
    for (int i = 0; i < 64 * 64; ++i) ASSERT_EQ(layers[t]->Pixels()[i], tile[i / 64 % 32 * 32 + i % 32]);
  }
}

}  // namespace
