// Pixels drawn by the device: texel mapping, fill rule, tests, blending, shading, addressing,
// viewport, lines and points, and the rectangle path against the triangle path.
#include <cmath>
#include <limits>

#include "platform/gpu_fixture.h"

namespace qr::testing {
namespace {

uint32_t TexelColour(int x, int y) {
  return 0xFF000000u | uint32_t(x * 40 + 10) << 16 | uint32_t(y * 60 + 20) << 8 | uint32_t(x * y * 9 + 3);
}

std::vector<uint32_t> Pattern(int w, int h) {
  std::vector<uint32_t> texels;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) texels.push_back(TexelColour(x, y));
  return texels;
}


class GpuRasterizer : public GpuTest {
 protected:
  template <typename Vertex>
  void DrawTriangles(const std::vector<Vertex>& vertices, bool separately) {
    ASSERT_EQ(device.BeginScene(), DeviceResult::Ok);
    if (separately) {
      for (size_t i = 0; i + 3 <= vertices.size(); i += 3)
        ASSERT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleList, 1, &vertices[i],
                                         int(sizeof(Vertex))),
                  DeviceResult::Ok);
    } else {
      ASSERT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleList, int(vertices.size() / 3),
                                       vertices.data(), int(sizeof(Vertex))),
                DeviceResult::Ok);
    }
    ASSERT_EQ(device.EndScene(), DeviceResult::Ok);
  }

  void Additive() {
    device.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device.SetRenderState(RenderState::SourceBlend, uint32_t(BlendFactor::One));
    device.SetRenderState(RenderState::DestinationBlend, uint32_t(BlendFactor::One));
  }

  std::vector<uint32_t> Snapshot() {
    std::vector<uint32_t> out;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) out.push_back(Pixel(x, y));
    return out;
  }
};

TEST_F(GpuRasterizer, SpriteAtIntegerPositionMapsTexelsOneToOne) {
  Create();
  Texture* texture = MakeTexture(4, 3, Pattern(4, 3));
  for (TextureFilter filter : {TextureFilter::Point, TextureFilter::Linear}) {
    for (bool separately : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "filter " << int(filter) << " separately " << separately);
      Fill(0xFF112233);
      SpriteStates();
      device.SetSamplerState(0, SamplerState::MagFilter, uint32_t(filter));
      device.SetSamplerState(0, SamplerState::MinFilter, uint32_t(filter));
      device.SetTexture(0, texture);
      std::vector<SpriteVertex> quad;
      SpriteQuad(quad, 5 - 0.5f, 7 - 0.5f, 9 - 0.5f, 10 - 0.5f, 0, 0, 1, 1);
      DrawTriangles(quad, separately);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(5 + x, 7 + y), TexelColour(x, y)) << x << "," << y;
      for (auto [x, y] : {std::pair{4, 7}, {9, 7}, {5, 6}, {5, 10}, {9, 10}, {4, 6}})
        EXPECT_EQ(Pixel(x, y), 0xFF112233u) << x << "," << y;
    }
  }
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, SpriteCutAtTheClipEdgesKeepsItsTexels) {
  // As the runtime clips a graphic: corners moved onto the clip rectangle (0 and 64 here, not
  // -0.5), u and v moved by the same distance in texels.
  Create();
  Texture* texture = MakeTexture(32, 4, Pattern(32, 4));
  SpriteStates();
  device.SetTexture(0, texture);
  for (bool separately : {false, true}) {
    Fill(0xFF000000);
    std::vector<SpriteVertex> quad;
    SpriteQuad(quad, 40 - 0.5f, 2 - 0.5f, 64, 6 - 0.5f, 0, 0, 24.5f / 32, 1);  // at x = 40
    SpriteQuad(quad, 0, 10 - 0.5f, 21.5f, 14 - 0.5f, 10.5f / 32, 0, 1, 1);   // at x = -10
    DrawTriangles(quad, separately);
    for (int x = 40; x < 64; ++x) EXPECT_EQ(Pixel(x, 3), TexelColour(x - 40, 1)) << x;
    for (int x = 0; x < 22; ++x) EXPECT_EQ(Pixel(x, 12), TexelColour(x + 10, 2)) << x;
    EXPECT_EQ(Pixel(22, 12), 0xFF000000u);
    EXPECT_EQ(Pixel(39, 3), 0xFF000000u);
  }
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, TopLeftRuleCoversSharedEdgesOnce) {
  Create();
  Fill(0xFF000000);
  ColourStates();
  Additive();
  const uint32_t c = 0xFF404040;
  std::vector<ColourVertex> v;
  // Two triangles sharing a diagonal, corners off the pixel grid.
  v.insert(v.end(), {{2.3f, 2.6f, 0, 1, c}, {20.7f, 2.6f, 0, 1, c}, {2.3f, 14.2f, 0, 1, c}});
  v.insert(v.end(), {{20.7f, 14.2f, 0, 1, c}, {2.3f, 14.2f, 0, 1, c}, {20.7f, 2.6f, 0, 1, c}});
  // Two rectangles sharing the vertical edge x = 30, on which pixel centres lie.
  for (auto [l, r] : {std::pair{24.0f, 30.0f}, {30.0f, 36.0f}}) {
    v.insert(v.end(), {{l, 3, 0, 1, c}, {r, 3, 0, 1, c}, {l, 9, 0, 1, c}});
    v.insert(v.end(), {{r, 9, 0, 1, c}, {l, 9, 0, 1, c}, {r, 3, 0, 1, c}});
  }
  // A fan of eight triangles around a centre, edges at many angles.
  const float cx = 48.25f, cy = 30.5f;
  for (int i = 0; i < 8; ++i) {
    float a0 = float(i) * 0.785398f, a1 = float(i + 1) * 0.785398f;
    v.insert(v.end(), {{cx, cy, 0, 1, c},
                       {cx + 12 * std::cos(a0), cy + 12 * std::sin(a0), 0, 1, c},
                       {cx + 12 * std::cos(a1), cy + 12 * std::sin(a1), 0, 1, c}});
  }
  for (bool separately : {true, false}) {
    Fill(0xFF000000);
    DrawTriangles(v, separately);
    int covered = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        uint32_t p = Pixel(x, y);
        ASSERT_TRUE(p == 0xFF000000u || p == c) << x << "," << y << " " << std::hex << p;
        covered += p == c;
      }
    // 18 x 12 for the first pair (centres 3..20, 3..14), 12 x 6 for the two rectangles, and the
    // fan's octagon of radius 12 (area 407) counted only once.
    EXPECT_EQ(Pixel(3, 3), c);
    EXPECT_EQ(Pixel(2, 3), 0xFF000000u);
    EXPECT_EQ(Pixel(20, 14), c);
    EXPECT_EQ(Pixel(21, 14), 0xFF000000u);
    EXPECT_EQ(Pixel(20, 15), 0xFF000000u);
    EXPECT_EQ(Pixel(29, 5), c);
    EXPECT_EQ(Pixel(30, 5), c);
    EXPECT_EQ(Pixel(36, 5), 0xFF000000u);
    EXPECT_EQ(Pixel(24, 9), 0xFF000000u);
    EXPECT_GT(covered, 18 * 12 + 12 * 6 + 380);
    EXPECT_LT(covered, 18 * 12 + 12 * 6 + 430);
  }
}

TEST_F(GpuRasterizer, AlphaTestAgainstReference16) {
  Create();
  Texture* texture = MakeTexture(4, 1, {0x00FFFFFF, 0x10FFFFFF, 0x11FFFFFF, 0xFFFFFFFF});
  struct Case {
    CompareFunction function;
    const char* drawn;  // which of the four texels pass
  } cases[] = {{CompareFunction::Greater, "..XX"},      {CompareFunction::GreaterEqual, ".XXX"},
               {CompareFunction::Less, "X..."},         {CompareFunction::LessEqual, "XX.."},
               {CompareFunction::Equal, ".X.."},        {CompareFunction::NotEqual, "X.XX"},
               {CompareFunction::Never, "...."},        {CompareFunction::Always, "XXXX"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.function));
    Fill(0xFF000000);
    SpriteStates();
    device.SetTexture(0, texture);
    device.SetRenderState(RenderState::AlphaTestEnable, 1);
    device.SetRenderState(RenderState::AlphaReference, 16);
    device.SetRenderState(RenderState::AlphaFunction, uint32_t(c.function));
    std::vector<SpriteVertex> quad;
    SpriteQuad(quad, -0.5f, -0.5f, 3.5f, 0.5f, 0, 0, 1, 1);
    DrawTriangles(quad, false);
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(Pixel(x, 0) == 0xFFFFFFFFu, c.drawn[x] == 'X') << x;
  }
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, EveryBlendFactorAndOperation) {
  Create(64, 48, TextureFormat::A8R8G8B8);
  using F = BlendFactor;
  using O = BlendOperation;
  const uint32_t source = 0x80C04020, destination = 0x40206080;
  struct Case {
    F src, dst;
    O op;
    uint32_t expected;
  } cases[] = {
      {F::SourceAlpha, F::InverseSourceAlpha, O::Add, 0x60705050},
      {F::SourceAlpha, F::One, O::Add, 0x80808090},
      {F::InverseDestinationColor, F::Zero, O::Add, 0x60A82810},
      {F::Zero, F::SourceColor, O::Add, 0x20181810},
      {F::Zero, F::One, O::Add, destination},
      {F::One, F::Zero, O::Add, source},
      {F::SourceAlpha, F::One, O::ReverseSubtract, 0x00004070},
      {F::One, F::One, O::Subtract, 0x40A00000},
      {F::One, F::Zero, O::Min, 0x40204020},
      {F::One, F::Zero, O::Max, 0x80C06080},
      {F::DestinationColor, F::Zero, O::Add, 0x20181810},
      {F::InverseSourceColor, F::Zero, O::Add, 0x402F301C},
      {F::DestinationAlpha, F::Zero, O::Add, 0x20301008},
      {F::InverseDestinationAlpha, F::Zero, O::Add, 0x60903018},
      {F::SourceAlphaSaturate, F::Zero, O::Add, 0x80602010},
      {F::One, F::InverseSourceColor, O::Add, 0xA0C88890},
      {F::SourceAlpha, F::InverseDestinationAlpha, O::Add, 0x70786870},
  };
  ColourStates();
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  std::vector<ColourVertex> v;
  // One pixel as a rectangle of two triangles, and one as a lone triangle.
  v.insert(v.end(), {{-0.5f, -0.5f, 0, 1, source}, {0.5f, -0.5f, 0, 1, source}, {-0.5f, 0.5f, 0, 1, source}});
  v.insert(v.end(), {{0.5f, 0.5f, 0, 1, source}, {-0.5f, 0.5f, 0, 1, source}, {0.5f, -0.5f, 0, 1, source}});
  v.insert(v.end(), {{1.5f, -0.5f, 0, 1, source}, {3.5f, -0.5f, 0, 1, source}, {1.5f, 1.5f, 0, 1, source}});
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.src) << " " << int(c.dst) << " " << int(c.op));
    Fill(destination);
    device.SetRenderState(RenderState::SourceBlend, uint32_t(c.src));
    device.SetRenderState(RenderState::DestinationBlend, uint32_t(c.dst));
    device.SetRenderState(RenderState::BlendOperation, uint32_t(c.op));
    DrawTriangles(v, false);
    EXPECT_EQ(Pixel(0, 0), c.expected) << std::hex << Pixel(0, 0);
    EXPECT_EQ(Pixel(2, 0), c.expected) << std::hex << Pixel(2, 0);
  }
}

TEST_F(GpuRasterizer, WithoutBlendOperationSupportEveryOperationAdds) {
  device.settings.capabilities.blendOperation = false;
  Create(64, 48, TextureFormat::A8R8G8B8);
  ColourStates();
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::SourceBlend, uint32_t(BlendFactor::SourceAlpha));
  device.SetRenderState(RenderState::DestinationBlend, uint32_t(BlendFactor::One));
  device.SetRenderState(RenderState::BlendOperation, uint32_t(BlendOperation::ReverseSubtract));
  Fill(0x40206080);
  // Pixel (0, 0) lies on this triangle's long edge, which is a bottom-right one: a triangle
  // twice the size covers it.
  std::vector<ColourVertex> v{{-0.5f, -0.5f, 0, 1, 0x80C04020}, {1.5f, -0.5f, 0, 1, 0x80C04020},
                              {-0.5f, 1.5f, 0, 1, 0x80C04020}};
  DrawTriangles(v, false);
  EXPECT_EQ(Pixel(0, 0), 0x80808090u);
}

TEST_F(GpuRasterizer, FlatShadingTakesTheFirstVertexColour) {
  Create();
  ColourStates();
  std::vector<ColourVertex> v{{2, 2, 0, 1, 0xFFFF0000}, {40, 2, 0, 1, 0xFF00FF00}, {2, 40, 0, 1, 0xFF0000FF}};
  device.SetRenderState(RenderState::ShadeMode, uint32_t(ShadeMode::Flat));
  Fill(0xFF000000);
  DrawTriangles(v, false);
  for (auto [x, y] : {std::pair{3, 3}, {30, 5}, {5, 30}, {15, 15}}) EXPECT_EQ(Pixel(x, y), 0xFFFF0000u);
  // Strip: the second triangle takes its colour from its own first vertex (vertex 1).
  std::vector<ColourVertex> strip{{2, 2, 0, 1, 0xFFFF0000}, {40, 2, 0, 1, 0xFF00FF00},
                                  {2, 40, 0, 1, 0xFF0000FF}, {40, 40, 0, 1, 0xFFFFFFFF}};
  Fill(0xFF000000);
  ASSERT_EQ(device.BeginScene(), DeviceResult::Ok);
  ASSERT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, strip.data(), sizeof(ColourVertex)),
            DeviceResult::Ok);
  device.EndScene();
  EXPECT_EQ(Pixel(5, 5), 0xFFFF0000u);
  EXPECT_EQ(Pixel(35, 35), 0xFF00FF00u);
  // Fan: triangle i takes its colour from vertex i + 1, its first vertex after the centre.
  std::vector<ColourVertex> fan{{2, 2, 0, 1, 0xFFFF0000}, {40, 2, 0, 1, 0xFF00FF00},
                                {40, 40, 0, 1, 0xFF0000FF}, {2, 40, 0, 1, 0xFFFFFFFF}};
  Fill(0xFF000000);
  ASSERT_EQ(device.BeginScene(), DeviceResult::Ok);
  ASSERT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleFan, 2, fan.data(), sizeof(ColourVertex)),
            DeviceResult::Ok);
  device.EndScene();
  EXPECT_EQ(Pixel(35, 10), 0xFF00FF00u);
  EXPECT_EQ(Pixel(10, 35), 0xFF0000FFu);

  device.SetRenderState(RenderState::ShadeMode, uint32_t(ShadeMode::Gouraud));
  Fill(0xFF000000);
  DrawTriangles(v, false);
  // Near the centroid every channel is about a third; near a corner it is that corner's colour.
  uint32_t centre = Pixel(15, 15);
  for (int shift : {16, 8, 0}) {
    int channel = int((centre >> shift) & 255);
    EXPECT_NEAR(channel, 85, 12) << shift;
  }
  EXPECT_GT((Pixel(2, 2) >> 16) & 255, 240u);
}

TEST_F(GpuRasterizer, ClampAndWrapAddressing) {
  Create();
  const uint32_t A = 0xFFAA0000, B = 0xFF00BB00;
  Texture* texture = MakeTexture(2, 1, {A, B});
  struct Case {
    TextureAddress mode;
    uint32_t expected[8];
  } cases[] = {{TextureAddress::Clamp, {A, A, A, B, B, B, B, B}},
               {TextureAddress::Wrap, {A, B, A, B, A, B, A, B}},
               {TextureAddress::Mirror, {B, A, A, B, B, A, A, B}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.mode));
    for (bool separately : {false, true}) {
      Fill(0xFF000000);
      SpriteStates();
      device.SetTexture(0, texture);
      device.SetSamplerState(0, SamplerState::AddressU, uint32_t(c.mode));
      // Eight pixels over u from -1 to 3: two pixels per texel... of the texture's two texels.
      std::vector<SpriteVertex> quad;
      SpriteQuad(quad, -0.5f, -0.5f, 7.5f, 0.5f, -1, 0, 3, 1);
      DrawTriangles(quad, separately);
      for (int x = 0; x < 8; ++x) EXPECT_EQ(Pixel(x, 0), c.expected[x]) << x;
    }
  }
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, ViewportClipsDrawingAndClearing) {
  Create();
  Fill(0xFF000000);
  ColourStates();
  ASSERT_EQ(device.SetViewport({10, 5, 20, 10, 0, 1}), DeviceResult::Ok);
  const uint32_t red = 0xFFFF0000;
  std::vector<ColourVertex> v{{-100, -100, 0, 1, red}, {200, -100, 0, 1, red}, {-100, 200, 0, 1, red},
                              {200, 200, 0, 1, red},   {-100, 200, 0, 1, red}, {200, -100, 0, 1, red}};
  for (bool separately : {false, true}) {
    Fill(0xFF000000);
    DrawTriangles(v, separately);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        bool inside = x >= 10 && x < 30 && y >= 5 && y < 15;
        ASSERT_EQ(Pixel(x, y), inside ? red : 0xFF000000u) << x << "," << y;
      }
  }
  ASSERT_EQ(device.SetViewport({40, 30, 5, 5, 0, 1}), DeviceResult::Ok);
  ASSERT_EQ(device.Clear(clear_flags::kTarget, 0xFF00FF00, 1.0f), DeviceResult::Ok);
  EXPECT_EQ(Pixel(40, 30), 0xFF00FF00u);
  EXPECT_EQ(Pixel(44, 34), 0xFF00FF00u);
  EXPECT_EQ(Pixel(45, 34), 0xFF000000u);
  EXPECT_EQ(Pixel(39, 30), 0xFF000000u);
  // A viewport reaching outside the target is refused; a new render target resets it.
  EXPECT_EQ(device.SetViewport({60, 0, 10, 10, 0, 1}), DeviceResult::InvalidCall);
  EXPECT_EQ(device.SetRenderTarget(backBuffer), DeviceResult::Ok);
  Viewport whole;
  device.GetViewport(whole);
  EXPECT_EQ(whole.width, 64);
  EXPECT_EQ(whole.height, 48);
}

TEST_F(GpuRasterizer, TextureStagesModulateComplementAndBlendTowardsTheFactor) {
  Create();
  using namespace stage_argument;
  Texture* texture = MakeTexture(1, 1, {0xFF804020});
  std::vector<SpriteVertex> quad;
  SpriteQuad(quad, -0.5f, -0.5f, 0.5f, 0.5f, 0, 0, 1, 1, 0x80FF8040);
  auto draw = [&] {
    Fill(0xFF000000);
    device.SetTexture(0, texture);
    DrawTriangles(quad, false);
    return Pixel(0, 0);
  };
  SpriteStates();
  device.SetTextureStageState(0, TextureStageState::ColorOperation, uint32_t(StageOperation::Modulate));
  device.SetTextureStageState(0, TextureStageState::ColorArgument2, kDiffuse);
  // Texture times diffuse: 0x80 * 0xFF, 0x40 * 0x80, 0x20 * 0x40 (rounded).
  EXPECT_EQ(draw(), 0xFF802008u);
  device.SetTextureStageState(0, TextureStageState::ColorArgument1, kTexture | kComplement);
  EXPECT_EQ(draw(), 0xFF7F6038u);
  // Stage 1 blends the colour towards the factor by the current alpha (the diffuse alpha 0x80).
  device.SetTextureStageState(0, TextureStageState::ColorArgument1, kTexture);
  device.SetTextureStageState(0, TextureStageState::ColorOperation, uint32_t(StageOperation::SelectArg1));
  device.SetTextureStageState(0, TextureStageState::AlphaOperation, uint32_t(StageOperation::SelectArg1));
  device.SetTextureStageState(0, TextureStageState::AlphaArgument1, kDiffuse);
  device.SetTextureStageState(1, TextureStageState::ColorOperation, uint32_t(StageOperation::BlendCurrentAlpha));
  device.SetTextureStageState(1, TextureStageState::ColorArgument1, kCurrent);
  device.SetTextureStageState(1, TextureStageState::ColorArgument2, kFactor);
  device.SetTextureStageState(1, TextureStageState::AlphaOperation, uint32_t(StageOperation::SelectArg1));
  device.SetTextureStageState(1, TextureStageState::AlphaArgument1, kCurrent);
  device.SetRenderState(RenderState::TextureFactor, 0xFFFFFFFF);
  // 0x80 * 128/255 + 0xFF * 127/255 and so on; the target has no alpha of its own.
  EXPECT_EQ(draw(), 0xFFBF9F8Fu);
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, DifferingRhwInterpolatesWithPerspective) {
  Create();
  std::vector<uint32_t> stripes;
  for (int i = 0; i < 10; ++i) stripes.push_back(0xFF000000u | uint32_t(i * 20));
  Texture* texture = MakeTexture(10, 1, stripes);
  SpriteStates();
  device.SetTexture(0, texture);
  // Left edge rhw 1, right edge 0.25, over 20 pixels.
  std::vector<SpriteVertex> quad;
  SpriteQuad(quad, -0.5f, -0.5f, 19.5f, 0.5f, 0, 0, 1, 1);
  for (SpriteVertex& v : quad) v.rhw = v.u > 0.5f ? 0.25f : 1.0f;
  for (bool separately : {false, true}) {
    Fill(0xFF000000);
    DrawTriangles(quad, separately);
    // At pixel 10 (t = 10.5 / 20) u is t / 4 / (1 - t + t / 4) = 0.2165: texel 2, not 5.
    EXPECT_EQ(Pixel(10, 0), stripes[2]);
    EXPECT_EQ(Pixel(0, 0), stripes[0]);
    EXPECT_EQ(Pixel(19, 0), stripes[9]);  // u = 0.907
  }
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, PointsAndLines) {
  Create();
  ColourStates();
  Fill(0xFF000000);
  const uint32_t w = 0xFFFFFFFF;
  std::vector<ColourVertex> points{{3.2f, 4.4f, 0, 1, w}, {10.6f, 4.5f, 0, 1, w}, {-3, 2, 0, 1, w}};
  ASSERT_EQ(device.BeginScene(), DeviceResult::Ok);
  ASSERT_EQ(device.DrawPrimitiveUP(PrimitiveType::PointList, 3, points.data(), sizeof(ColourVertex)), DeviceResult::Ok);
  std::vector<ColourVertex> lines{{2, 10, 0, 1, w}, {12, 10, 0, 1, w}, {30, 2, 0, 1, w}, {30, 8, 0, 1, w}};
  ASSERT_EQ(device.DrawPrimitiveUP(PrimitiveType::LineList, 2, lines.data(), sizeof(ColourVertex)), DeviceResult::Ok);
  device.EndScene();
  EXPECT_EQ(Pixel(3, 4), w);
  EXPECT_EQ(Pixel(11, 5), w);
  int count = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) count += Pixel(x, y) == w;
  // Two points, ten pixels of the horizontal line (its end excluded), six of the vertical.
  EXPECT_EQ(count, 2 + 10 + 6);
  for (int x = 2; x < 12; ++x) EXPECT_EQ(Pixel(x, 10), w) << x;
  EXPECT_NE(Pixel(12, 10), w);
  for (int y = 2; y < 8; ++y) EXPECT_EQ(Pixel(30, y), w) << y;
}

TEST_F(GpuRasterizer, CullingDropsTrianglesOfTheCulledWinding) {
  Create();
  ColourStates();
  const uint32_t w = 0xFFFFFFFF;
  std::vector<ColourVertex> clockwise{{2, 2, 0, 1, w}, {20, 2, 0, 1, w}, {2, 20, 0, 1, w}};
  std::vector<ColourVertex> counter{{2, 2, 0, 1, w}, {2, 20, 0, 1, w}, {20, 2, 0, 1, w}};
  struct Case {
    CullMode mode;
    bool clockwiseDrawn, counterDrawn;
  } cases[] = {{CullMode::None, true, true},
               {CullMode::CounterClockwise, true, false},
               {CullMode::Clockwise, false, true}};
  for (const Case& c : cases) {
    device.SetRenderState(RenderState::CullMode, uint32_t(c.mode));
    Fill(0xFF000000);
    DrawTriangles(clockwise, false);
    EXPECT_EQ(Pixel(5, 5) == w, c.clockwiseDrawn) << int(c.mode);
    Fill(0xFF000000);
    DrawTriangles(counter, false);
    EXPECT_EQ(Pixel(5, 5) == w, c.counterDrawn) << int(c.mode);
  }
}

TEST_F(GpuRasterizer, DepthTestKeepsTheNearerPixel) {
  Create();
  Surface* depth = nullptr;
  ASSERT_EQ(device.CreateDepthStencilSurface(64, 64, TextureFormat::D16, true, depth), DeviceResult::Ok);
  ASSERT_EQ(device.SetDepthStencilSurface(depth), DeviceResult::Ok);
  ASSERT_EQ(device.Clear(clear_flags::kTarget | clear_flags::kZBuffer, 0xFF000000, 1.0f), DeviceResult::Ok);
  device.SetRenderState(RenderState::ZEnable, 1);
  ColourStates();
  auto quad = [](float z, uint32_t c) {
    return std::vector<ColourVertex>{{0, 0, z, 1, c}, {8, 0, z, 1, c}, {0, 8, z, 1, c},
                                     {8, 8, z, 1, c}, {0, 8, z, 1, c}, {8, 0, z, 1, c}};
  };
  DrawTriangles(quad(0.5f, 0xFFFF0000), false);
  DrawTriangles(quad(0.7f, 0xFF00FF00), false);
  EXPECT_EQ(Pixel(3, 3), 0xFFFF0000u);
  DrawTriangles(quad(0.3f, 0xFF0000FF), true);
  EXPECT_EQ(Pixel(3, 3), 0xFF0000FFu);
  // With the test off the farther one is drawn too.
  device.SetRenderState(RenderState::ZEnable, 0);
  DrawTriangles(quad(0.9f, 0xFF00FF00), false);
  EXPECT_EQ(Pixel(3, 3), 0xFF00FF00u);
  device.SetDepthStencilSurface(nullptr);
  device.Release(depth);
}

TEST_F(GpuRasterizer, MipLevelFollowsTheMinification) {
  Create();
  Texture* texture = nullptr;
  ASSERT_EQ(device.CreateTexture(4, 4, 0, ResourceUsage::Plain, TextureFormat::A8R8G8B8,
                                 MemoryPool::Managed, texture),
            DeviceResult::Ok);
  textures.push_back(texture);
  ASSERT_EQ(device.LevelCount(texture), 3);
  const uint32_t colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
  for (int level = 0; level < 3; ++level) {
    LockedRect locked;
    ASSERT_EQ(device.LockRect(texture, level, nullptr, locked), DeviceResult::Ok);
    int side = 4 >> level;
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x)
        std::memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, &colours[level], 4);
    device.UnlockRect(texture, level);
  }
  SpriteStates();
  device.SetTexture(0, texture);
  std::vector<SpriteVertex> quad;
  SpriteQuad(quad, -0.5f, -0.5f, 1.5f, 1.5f, 0, 0, 1, 1);  // 4 texels onto 2 pixels
  device.SetSamplerState(0, SamplerState::MipFilter, uint32_t(TextureFilter::None));
  DrawTriangles(quad, false);
  EXPECT_EQ(Pixel(0, 0), colours[0]);
  device.SetSamplerState(0, SamplerState::MipFilter, uint32_t(TextureFilter::Point));
  DrawTriangles(quad, false);
  EXPECT_EQ(Pixel(0, 0), colours[1]);
  DrawTriangles(quad, true);
  EXPECT_EQ(Pixel(1, 1), colours[1]);
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, RectanglePathDrawsWhatTheTrianglesDraw) {
  Create();
  Texture* texture = MakeTexture(8, 8, [] {
    std::vector<uint32_t> t;
    for (int i = 0; i < 64; ++i) t.push_back(uint32_t(i * 4) << 24 | uint32_t(i * 37 % 256) << 16 | uint32_t(i * 91 % 256) << 8 | uint32_t(255 - i));
    return t;
  }());
  struct Case {
    float left, top, right, bottom, u0, v0, u1, v1;
    TextureFilter filter;
    bool blend, test;
    uint32_t diffuse;
  } cases[] = {
      {3.5f, 2.5f, 11.5f, 10.5f, 0, 0, 1, 1, TextureFilter::Point, true, false, 0xFFFFFFFF},
      {3.3f, 2.2f, 19.3f, 18.2f, 0, 0, 1, 1, TextureFilter::Point, false, true, 0xFFFFFFFF},
      {0.3f, 0.7f, 12.3f, 9.7f, 0, 0, 1, 1, TextureFilter::Linear, true, false, 0xC0FF8040},
      {10.25f, 4.75f, 18.25f, 12.75f, 1, 0, 0, 1, TextureFilter::Point, true, true, 0xFFFFFFFF},
      {-3.5f, -2.5f, 4.5f, 5.5f, 0.25f, 0.125f, 0.75f, 0.625f, TextureFilter::Linear, false, false, 0xFF808080},
      // Tinted texels 1:1 (how glyphs are drawn): blended, tested, and both.
      {3.5f, 2.5f, 11.5f, 10.5f, 0, 0, 1, 1, TextureFilter::Point, true, false, 0xFFC08040},
      {20.5f, 2.5f, 28.5f, 10.5f, 0, 0, 1, 1, TextureFilter::Point, false, true, 0x80FF4010},
      {-2.5f, 20.5f, 5.5f, 28.5f, 0, 0, 1, 1, TextureFilter::Point, true, true, 0xE0102030},
  };
  for (TextureFormat target : {TextureFormat::X8R8G8B8, TextureFormat::A8R8G8B8,
                               TextureFormat::R5G6B5, TextureFormat::X1R5G5B5}) {
  Create(64, 48, target);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << platform::gpu::FormatName(target) << " " << c.left << "," << c.top);
    std::vector<uint32_t> results[2];
    uint32_t background = 0;
    for (bool separately : {false, true}) {
      Fill(0xFF203040);
      background = Pixel(63, 47);
      SpriteStates();
      device.SetTextureStageState(0, TextureStageState::ColorOperation, uint32_t(StageOperation::Modulate));
      device.SetTextureStageState(0, TextureStageState::ColorArgument2, stage_argument::kDiffuse);
      if ((c.diffuse >> 24) != 0xFF) {  // a translucent tint scales the texel's alpha too
        device.SetTextureStageState(0, TextureStageState::AlphaOperation, uint32_t(StageOperation::Modulate));
        device.SetTextureStageState(0, TextureStageState::AlphaArgument2, stage_argument::kDiffuse);
      }
      device.SetSamplerState(0, SamplerState::MagFilter, uint32_t(c.filter));
      device.SetSamplerState(0, SamplerState::MinFilter, uint32_t(c.filter));
      device.SetRenderState(RenderState::AlphaBlendEnable, c.blend);
      device.SetRenderState(RenderState::SourceBlend, uint32_t(BlendFactor::SourceAlpha));
      device.SetRenderState(RenderState::DestinationBlend, uint32_t(BlendFactor::InverseSourceAlpha));
      device.SetRenderState(RenderState::AlphaTestEnable, c.test);
      device.SetRenderState(RenderState::AlphaReference, 100);
      device.SetRenderState(RenderState::AlphaFunction, uint32_t(CompareFunction::Greater));
      device.SetTexture(0, texture);
      std::vector<SpriteVertex> quad;
      SpriteQuad(quad, c.left, c.top, c.right, c.bottom, c.u0, c.v0, c.u1, c.v1, c.diffuse);
      DrawTriangles(quad, separately);
      results[separately] = Snapshot();
    }
    int differences = 0;
    for (size_t i = 0; i < results[0].size(); ++i) differences += results[0][i] != results[1][i];
    EXPECT_EQ(differences, 0);
    EXPECT_NE(results[0], std::vector<uint32_t>(results[0].size(), background));
  }
  }
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, SixteenBitTarget) {
  Create(64, 48, TextureFormat::R5G6B5);
  Texture* texture = MakeTexture(2, 1, {0xFFFF0000, 0x80FFFFFF});
  SpriteStates();
  device.SetTexture(0, texture);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::SourceBlend, uint32_t(BlendFactor::SourceAlpha));
  device.SetRenderState(RenderState::DestinationBlend, uint32_t(BlendFactor::InverseSourceAlpha));
  Fill(0xFF000000);
  std::vector<SpriteVertex> quad;
  SpriteQuad(quad, 1.5f, 1.5f, 3.5f, 2.5f, 0, 0, 1, 1);
  DrawTriangles(quad, false);
  EXPECT_EQ(Pixel(2, 2), 0xFFFF0000u);
  // Half of white over black, stored in 5 and 6 bits.
  EXPECT_EQ(Pixel(3, 2), 0xFF848284u);
  device.SetTexture(0, nullptr);
}

TEST_F(GpuRasterizer, MalformedVerticesNeitherCrashNorDraw) {
  Create();
  ColourStates();
  Fill(0xFF000000);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const uint32_t w = 0xFFFFFFFF;
  std::vector<ColourVertex> v{{nan, 2, 0, 1, w},  {20, 2, 0, 1, w},   {2, 20, 0, 1, w},
                              {inf, 2, 0, 1, w},  {20, -inf, 0, 1, w}, {2, 20, 0, 1, w},
                              {1e30f, 2, 0, 1, w}, {20, 2, 0, 1, w},  {2, 1e30f, 0, 1, w},
                              {2, 2, nan, 1, w},  {2, 2, 0, 1, w},    {2, 2, 0, 1, w}};
  DrawTriangles(v, false);
  ASSERT_EQ(device.BeginScene(), DeviceResult::Ok);
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType::LineStrip, 3, v.data(), sizeof(ColourVertex)), DeviceResult::Ok);
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType::PointList, 12, v.data(), sizeof(ColourVertex)), DeviceResult::Ok);
  // Textured with coordinates that are not numbers.
  SpriteStates();
  Texture* texture = MakeTexture(2, 2, {w, w, w, w});
  device.SetTexture(0, texture);
  std::vector<SpriteVertex> quad;
  SpriteQuad(quad, 30, 30, 40, 40, nan, -inf, inf, 1e30f);
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleList, 2, quad.data(), sizeof(SpriteVertex)), DeviceResult::Ok);
  device.SetSamplerState(0, SamplerState::MagFilter, uint32_t(TextureFilter::Linear));
  device.SetSamplerState(0, SamplerState::AddressU, uint32_t(TextureAddress::Wrap));
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleList, 1, quad.data(), sizeof(SpriteVertex)), DeviceResult::Ok);
  // Calls the device refuses.
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleList, 1, quad.data(), 12), DeviceResult::InvalidCall);
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleList, 0, quad.data(), 28), DeviceResult::InvalidCall);
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleList, 1, nullptr, 28), DeviceResult::InvalidCall);
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType(99), 1, quad.data(), 28), DeviceResult::InvalidCall);
  device.EndScene();
  EXPECT_EQ(device.DrawPrimitiveUP(PrimitiveType::TriangleList, 1, quad.data(), 28), DeviceResult::InvalidCall)
      << "drawing needs an open scene";
  EXPECT_EQ(device.SetVertexFormat(vertex_format::kDiffuse), DeviceResult::InvalidCall);
  EXPECT_EQ(device.SetRenderState(RenderState::SourceBlend, 99), DeviceResult::InvalidCall);
  EXPECT_EQ(device.SetTextureStageState(8, TextureStageState::ColorOperation, 1), DeviceResult::InvalidCall);
  device.SetTexture(0, nullptr);
}

}  // namespace
}  // namespace qr::testing

namespace qr::testing {
namespace {

// Random primitives under random states never write outside the viewport (and, under the
// sanitizers, never outside any buffer).
TEST_F(GpuRasterizer, RandomDrawsStayInsideTheViewport) {
  Create();
  std::vector<uint32_t> texels(16 * 8);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint32_t(i * 2654435761u);
  Texture* texture = MakeTexture(16, 8, texels);
  Texture* mipmapped = nullptr;
  ASSERT_EQ(device.CreateTexture(16, 16, 0, ResourceUsage::Plain, TextureFormat::R5G6B5, MemoryPool::Managed, mipmapped), DeviceResult::Ok);
  textures.push_back(mipmapped);
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  auto coordinate = [&]() -> float {
    switch (next() % 16) {
      case 0: return 1e7f;
      case 1: return -3e5f;
      default: return float(int(next() % 2400) - 800) / 8.0f;
    }
  };
  const uint32_t sentinel = 0xFF5A5A5A;
  int drawn = 0;
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    Fill(sentinel);
    Viewport viewport{int(next() % 32), int(next() % 24), 0, 0, 0, 1};
    viewport.width = 1 + int(next() % uint32_t(64 - viewport.x));
    viewport.height = 1 + int(next() % uint32_t(48 - viewport.y));
    ASSERT_EQ(device.SetViewport(viewport), DeviceResult::Ok);
    device.SetTexture(0, next() % 2 ? texture : mipmapped);
    device.SetTextureStageState(0, TextureStageState::ColorOperation, 1 + next() % 12);
    device.SetTextureStageState(0, TextureStageState::ColorArgument1, next() % 5 | (next() % 2 ? stage_argument::kComplement : 0));
    device.SetTextureStageState(0, TextureStageState::AlphaOperation, 1 + next() % 12);
    device.SetTextureStageState(1, TextureStageState::ColorOperation, next() % 2 ? 0 : 1 + next() % 12);
    device.SetRenderState(RenderState::ShadeMode, next() % 2);
    device.SetRenderState(RenderState::AlphaBlendEnable, next() % 2);
    device.SetRenderState(RenderState::SourceBlend, next() % 11);
    device.SetRenderState(RenderState::DestinationBlend, next() % 11);
    device.SetRenderState(RenderState::BlendOperation, next() % 5);
    device.SetRenderState(RenderState::AlphaTestEnable, next() % 2);
    device.SetRenderState(RenderState::AlphaFunction, next() % 8);
    device.SetRenderState(RenderState::AlphaReference, next() % 256);
    device.SetRenderState(RenderState::SpecularEnable, next() % 2);
    for (SamplerState s : {SamplerState::AddressU, SamplerState::AddressV})
      device.SetSamplerState(0, s, next() % 3);
    for (SamplerState s : {SamplerState::MagFilter, SamplerState::MinFilter, SamplerState::MipFilter})
      device.SetSamplerState(0, s, next() % 4);
    device.SetVertexFormat(vertex_format::kPositionRhw | vertex_format::kDiffuse | vertex_format::kSpecular | vertex_format::kTexture2);
    struct Vertex {
      float x, y, z, rhw;
      uint32_t diffuse, specular;
      float u0, v0, u1, v1;
    };
    std::vector<Vertex> vertices(12);
    for (Vertex& v : vertices)
      v = {coordinate(), coordinate(), float(next() % 100) / 99.0f, 1, next() | next() << 24, next(),
           float(int(next() % 64) - 16) / 8.0f, float(int(next() % 64) - 16) / 8.0f, 0.5f, 0.5f};
    // Now and then the runtime's kind of rectangle, to reach the span paths.
    if (next() % 2) {
      float l = coordinate(), t = coordinate(), r = l + float(next() % 40), b = t + float(next() % 40);
      Vertex corners[4] = {{l, t, 0.2f, 1, 0xFFFFFFFF, 0, 0, 0, 0, 0}, {r, t, 0.2f, 1, 0xFFFFFFFF, 0, 1, 0, 0, 0},
                           {l, b, 0.2f, 1, 0xFFFFFFFF, 0, 0, 1, 0, 0}, {r, b, 0.2f, 1, 0xFFFFFFFF, 0, 1, 1, 0, 0}};
      const int order[6] = {0, 1, 2, 3, 2, 1};
      for (int k = 0; k < 6; ++k) vertices[size_t(k)] = corners[order[k]];
    }
    const PrimitiveType type = PrimitiveType(next() % 6);
    const int counts[] = {12, 6, 11, 4, 10, 10};
    ASSERT_EQ(device.BeginScene(), DeviceResult::Ok);
    ASSERT_EQ(device.DrawPrimitiveUP(type, counts[int(type)], vertices.data(), sizeof(Vertex)), DeviceResult::Ok);
    device.EndScene();
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        const bool inside = x >= viewport.x && x < viewport.x + viewport.width && y >= viewport.y &&
                            y < viewport.y + viewport.height;
        if (!inside) {
          ASSERT_EQ(Pixel(x, y), sentinel) << x << "," << y;
        } else {
          drawn += Pixel(x, y) != sentinel;
        }
      }
  }
  EXPECT_GT(drawn, 10000) << "the draws should reach the target";
  device.SetTexture(0, nullptr);
}

}  // namespace
}  // namespace qr::testing
