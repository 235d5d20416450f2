// The lines the graphics start writes on our capable device (and the font system after it), as the headless host runs it: the
// core's start-up test and the graphics tests both expect them.
#pragma once

#include <string>
#include <vector>

namespace qr::testing {

inline const std::vector<std::string>& CapableDeviceStartLines() {
  static const std::vector<std::string> lines = {
      "DirectDraw オブジェクトの取得を行います....  成功",
      "引き続き初期化処理... 初期化に成功しました",
      "IDirect3D9 オブジェクトを取得します.... 成功",
      "IDirect3DDevice9 オブジェクトを取得します.... ソフトウエア頂点演算を使用します",
      "成功",
      "Driver:qr-cpu  Description:qr CPU rasterizer",
      "画面のフォーマットは D3DFMT_X8R8G8B8 です",
      "Ｚバッファのフォーマットは D3DFMT_D16 です",
      "16bit カラーフォーマットは Q_D3DFMT_R5G6B5 です",
      "32bit カラーフォーマットは Q_D3DFMT_X8R8G8B8 です",
      "アルファ付き 16bit カラーフォーマットは Q_D3DFMT_A4R4G4B4 です",
      "アルファ付き 32bit カラーフォーマットは Q_D3DFMT_A8R8G8B8 です",
      "アルファテスト用 16bit カラーフォーマットは Q_D3DFMT_A1R5G5B5 です",
      "アルファテスト用 32bit カラーフォーマットは Q_D3DFMT_A8R8G8B8 です",
      "ＤＸＴ１テクスチャフォーマットは Q_D3DFMT_DXT1 です",
      "ＤＸＴ２テクスチャフォーマットは Q_D3DFMT_DXT2 です",
      "ＤＸＴ３テクスチャフォーマットは Q_D3DFMT_DXT3 です",
      "ＤＸＴ４テクスチャフォーマットは Q_D3DFMT_DXT4 です",
      "ＤＸＴ５テクスチャフォーマットは Q_D3DFMT_DXT5 です",
      "描画用 16bit カラーフォーマットは Q_D3DFMT_R5G5B5 です",
      "描画用 32bit カラーフォーマットは Q_D3DFMT_X8R8G8B8 です",
      "描画用アルファ付き 32bit カラーフォーマットは Q_D3DFMT_A8R8G8B8 です",
      "Ｚバッファを作成します.... 成功",
      "プログラマブルシェーダーを使用しません",
      "フォントの初期化を行います",
      "フォントの初期化は正常に終了しました",
  };
  return lines;
}

}  // namespace qr::testing
