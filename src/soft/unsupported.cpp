// Entry points of the Direct3D 9 interfaces the game never uses: each
// answers the way a device without the feature does (mostly
// D3DERR_INVALIDCALL, a null object, or the neutral value).
#include "soft/soft_internal.h"

namespace soft {

static HRESULT unsupported() { return D3DERR_INVALIDCALL; }

// ---- every resource: private data, priority, preloading -----------------------------------------
template <class I>
HRESULT ResourceStubs<I>::SetPrivateData(REFGUID, const void*, DWORD, DWORD) { return unsupported(); }
template <class I>
HRESULT ResourceStubs<I>::GetPrivateData(REFGUID, void*, DWORD*) { return D3DERR_NOTFOUND; }
template <class I>
HRESULT ResourceStubs<I>::FreePrivateData(REFGUID) { return D3DERR_NOTFOUND; }
template <class I>
DWORD ResourceStubs<I>::SetPriority(DWORD) { return 0; }
template <class I>
DWORD ResourceStubs<I>::GetPriority() { return 0; }
template <class I>
void ResourceStubs<I>::PreLoad() {}

template struct ResourceStubs<IDirect3DSurface9>;
template struct ResourceStubs<IDirect3DTexture9>;
template struct ResourceStubs<IDirect3DVertexBuffer9>;
template struct ResourceStubs<IDirect3DIndexBuffer9>;

// ---- surfaces and textures ----------------------------------------------------------------------
HRESULT SoftSurface::GetDC(HDC*) { return unsupported(); }

HRESULT SoftSurface::ReleaseDC(HDC) { return unsupported(); }

DWORD SoftTexture::SetLOD(DWORD) { return 0; }

DWORD SoftTexture::GetLOD() { return 0; }

HRESULT SoftTexture::SetAutoGenFilterType(D3DTEXTUREFILTERTYPE) { return unsupported(); }

D3DTEXTUREFILTERTYPE SoftTexture::GetAutoGenFilterType() { return D3DTEXF_NONE; }

void SoftTexture::GenerateMipSubLevels() {}

HRESULT SoftTexture::AddDirtyRect(const RECT*) { return D3D_OK; }

// ---- the Direct3D object ------------------------------------------------------------------------
HRESULT SoftD3D::RegisterSoftwareDevice(void*) { return unsupported(); }

HRESULT SoftD3D::GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) { return unsupported(); }

HRESULT SoftD3D::CheckDeviceFormatConversion(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT) { return D3DERR_NOTAVAILABLE; }

HRESULT SoftD3D::GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9*) { return unsupported(); }

HMONITOR SoftD3D::GetAdapterMonitor(UINT) { return nullptr; }

// ---- the device ---------------------------------------------------------------------------------
HRESULT SoftDevice::GetDeviceCaps(D3DCAPS9*) {
  count(SC_GetDeviceCaps);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetCursorProperties(UINT, UINT, IDirect3DSurface9*) {
  count(SC_SetCursorProperties);
  return D3DERR_INVALIDCALL;
}

void SoftDevice::SetCursorPosition(int, int, DWORD) { count(SC_SetCursorPosition); }

WINBOOL SoftDevice::ShowCursor(WINBOOL) {
  count(SC_ShowCursor);
  return FALSE;
}

HRESULT SoftDevice::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9** out) {
  count(SC_CreateAdditionalSwapChain);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetSwapChain(UINT, IDirect3DSwapChain9** out) {
  count(SC_GetSwapChain);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetDialogBoxMode(WINBOOL) {
  count(SC_SetDialogBoxMode);
  return D3D_OK;
}

void SoftDevice::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) { count(SC_SetGammaRamp); }

void SoftDevice::GetGammaRamp(UINT, D3DGAMMARAMP* ramp) {
  count(SC_GetGammaRamp);
  if (!ramp) return;
  for (int i = 0; i < 256; i++) ramp->red[i] = ramp->green[i] = ramp->blue[i] = (WORD)(i * 257);
}

HRESULT SoftDevice::CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                        IDirect3DVolumeTexture9** out, HANDLE*) {
  count(SC_CreateVolumeTexture);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9** out,
                                      HANDLE*) {
  count(SC_CreateCubeTexture);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*) {
  count(SC_UpdateSurface);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::UpdateTexture(IDirect3DBaseTexture9*, IDirect3DBaseTexture9*) {
  count(SC_UpdateTexture);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetFrontBufferData(UINT, IDirect3DSurface9*) {
  count(SC_GetFrontBufferData);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                                D3DTEXTUREFILTERTYPE) {
  count(SC_StretchRect);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9** out) {
  count(SC_CreateStateBlock);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::BeginStateBlock() {
  count(SC_BeginStateBlock);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::EndStateBlock(IDirect3DStateBlock9** out) {
  count(SC_EndStateBlock);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetPaletteEntries(UINT, const PALETTEENTRY*) {
  count(SC_SetPaletteEntries);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetPaletteEntries(UINT, PALETTEENTRY*) {
  count(SC_GetPaletteEntries);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetCurrentTexturePalette(UINT) {
  count(SC_SetCurrentTexturePalette);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetCurrentTexturePalette(UINT*) {
  count(SC_GetCurrentTexturePalette);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetNPatchMode(float n) {
  count(SC_SetNPatchMode);
  return n == 0.0f ? D3D_OK : D3DERR_INVALIDCALL;
}

float SoftDevice::GetNPatchMode() {
  count(SC_GetNPatchMode);
  return 0.0f;
}

HRESULT SoftDevice::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*,
                                    DWORD) {
  count(SC_ProcessVertices);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9** out) {
  count(SC_CreateVertexDeclaration);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* d) {
  count(SC_SetVertexDeclaration);
  return d ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT SoftDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** out) {
  count(SC_GetVertexDeclaration);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  return D3D_OK;
}

HRESULT SoftDevice::CreateVertexShader(const DWORD*, IDirect3DVertexShader9** out) {
  count(SC_CreateVertexShader);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetVertexShader(IDirect3DVertexShader9* s) {
  count(SC_SetVertexShader);
  return s ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT SoftDevice::GetVertexShader(IDirect3DVertexShader9** out) {
  count(SC_GetVertexShader);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  return D3D_OK;
}

HRESULT SoftDevice::SetVertexShaderConstantF(UINT, const float*, UINT) {
  count(SC_SetVertexShaderConstantF);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetVertexShaderConstantF(UINT, float*, UINT) {
  count(SC_GetVertexShaderConstantF);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetVertexShaderConstantI(UINT, const int*, UINT) {
  count(SC_SetVertexShaderConstantI);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetVertexShaderConstantI(UINT, int*, UINT) {
  count(SC_GetVertexShaderConstantI);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetVertexShaderConstantB(UINT, const WINBOOL*, UINT) {
  count(SC_SetVertexShaderConstantB);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetVertexShaderConstantB(UINT, WINBOOL*, UINT) {
  count(SC_GetVertexShaderConstantB);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetStreamSourceFreq(UINT stream, UINT divider) {
  count(SC_SetStreamSourceFreq);
  return stream < 16 && divider == 1 ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetStreamSourceFreq(UINT stream, UINT* divider) {
  count(SC_GetStreamSourceFreq);
  if (stream >= 16 || !divider) return D3DERR_INVALIDCALL;
  *divider = 1;
  return D3D_OK;
}

HRESULT SoftDevice::CreatePixelShader(const DWORD*, IDirect3DPixelShader9** out) {
  count(SC_CreatePixelShader);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetPixelShader(IDirect3DPixelShader9* s) {
  count(SC_SetPixelShader);
  return s ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT SoftDevice::GetPixelShader(IDirect3DPixelShader9** out) {
  count(SC_GetPixelShader);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  return D3D_OK;
}

HRESULT SoftDevice::SetPixelShaderConstantF(UINT, const float*, UINT) {
  count(SC_SetPixelShaderConstantF);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetPixelShaderConstantF(UINT, float*, UINT) {
  count(SC_GetPixelShaderConstantF);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetPixelShaderConstantI(UINT, const int*, UINT) {
  count(SC_SetPixelShaderConstantI);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetPixelShaderConstantI(UINT, int*, UINT) {
  count(SC_GetPixelShaderConstantI);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetPixelShaderConstantB(UINT, const WINBOOL*, UINT) {
  count(SC_SetPixelShaderConstantB);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetPixelShaderConstantB(UINT, WINBOOL*, UINT) {
  count(SC_GetPixelShaderConstantB);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) {
  count(SC_DrawRectPatch);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) {
  count(SC_DrawTriPatch);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::DeletePatch(UINT) {
  count(SC_DeletePatch);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::CreateQuery(D3DQUERYTYPE, IDirect3DQuery9** out) {
  count(SC_CreateQuery);
  if (out) *out = nullptr;
  return D3DERR_NOTAVAILABLE;
}

}  // namespace soft
