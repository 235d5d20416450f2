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

// The lines the sound start writes on the headless output.
inline const std::vector<std::string>& HeadlessSoundStartLines() {
  static const std::vector<std::string> lines = {
      "DirectSound の初期化を行います",
      "DirectSound インターフェースの取得を行います....  成功",
      "引き続きインターフェースの初期化処理...  成功",
      "\tDirectSound デバイスを列挙します",
      "\t\tモジュール名:       headless  ドライバ記述:Headless mixer ",
      "\t最大サンプリングレート:192.00KHz 最小サンプリングレート:1.00KHz ",
      "\t総サウンドメモリ領域:0.00KB 空きサウンドメモリ領域:0.00KB ",
      "\t利用可能サンプリング精度",
      "\t プライマリ １６bit = OK  ８bit = OK ",
      "\t セカンダリ １６bit = OK  ８bit = OK ",
      "\t利用可能チャンネル",
      "\t プライマリ MONO = OK  STEREO = OK ",
      "\t セカンダリ MONO = OK  STEREO = OK ",
      "DirectSound の初期化は正常に終了しました",
  };
  return lines;
}

}  // namespace qr::testing
