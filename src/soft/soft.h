// The software Direct3D 9 device: a fixed-function rasterizer that stands in
// for d3d9.dll on Linux and in the tests. Start-up registers it with
//   sys_lib_provide("d3d9.dll", soft_d3d9_proc);
// after which "Direct3DCreate9" is looked up through it like on Windows.
#pragma once

#include "soft/d3d9.h"

// Answers "Direct3DCreate9"; null for any other name.
void* soft_d3d9_proc(const char* name);

// ---- test hooks -------------------------------------------------------------------------
// Switches that make the device fail the way a real one can, so the graphics
// code's failure paths run on Linux, and counters of what the device was asked
// to do. Plain data: tests set fields directly and call soft_hooks_reset()
// between cases.

// Every IDirect3DDevice9 method, in method-table order; index into calls[].
enum SoftCall {
  SC_QueryInterface, SC_AddRef, SC_Release, SC_TestCooperativeLevel, SC_GetAvailableTextureMem,
  SC_EvictManagedResources, SC_GetDirect3D, SC_GetDeviceCaps, SC_GetDisplayMode, SC_GetCreationParameters,
  SC_SetCursorProperties, SC_SetCursorPosition, SC_ShowCursor, SC_CreateAdditionalSwapChain, SC_GetSwapChain,
  SC_GetNumberOfSwapChains, SC_Reset, SC_Present, SC_GetBackBuffer, SC_GetRasterStatus, SC_SetDialogBoxMode,
  SC_SetGammaRamp, SC_GetGammaRamp, SC_CreateTexture, SC_CreateVolumeTexture, SC_CreateCubeTexture,
  SC_CreateVertexBuffer, SC_CreateIndexBuffer, SC_CreateRenderTarget, SC_CreateDepthStencilSurface,
  SC_UpdateSurface, SC_UpdateTexture, SC_GetRenderTargetData, SC_GetFrontBufferData, SC_StretchRect,
  SC_ColorFill, SC_CreateOffscreenPlainSurface, SC_SetRenderTarget, SC_GetRenderTarget,
  SC_SetDepthStencilSurface, SC_GetDepthStencilSurface, SC_BeginScene, SC_EndScene, SC_Clear, SC_SetTransform,
  SC_GetTransform, SC_MultiplyTransform, SC_SetViewport, SC_GetViewport, SC_SetMaterial, SC_GetMaterial,
  SC_SetLight, SC_GetLight, SC_LightEnable, SC_GetLightEnable, SC_SetClipPlane, SC_GetClipPlane,
  SC_SetRenderState, SC_GetRenderState, SC_CreateStateBlock, SC_BeginStateBlock, SC_EndStateBlock,
  SC_SetClipStatus, SC_GetClipStatus, SC_GetTexture, SC_SetTexture, SC_GetTextureStageState,
  SC_SetTextureStageState, SC_GetSamplerState, SC_SetSamplerState, SC_ValidateDevice, SC_SetPaletteEntries,
  SC_GetPaletteEntries, SC_SetCurrentTexturePalette, SC_GetCurrentTexturePalette, SC_SetScissorRect,
  SC_GetScissorRect, SC_SetSoftwareVertexProcessing, SC_GetSoftwareVertexProcessing, SC_SetNPatchMode,
  SC_GetNPatchMode, SC_DrawPrimitive, SC_DrawIndexedPrimitive, SC_DrawPrimitiveUP, SC_DrawIndexedPrimitiveUP,
  SC_ProcessVertices, SC_CreateVertexDeclaration, SC_SetVertexDeclaration, SC_GetVertexDeclaration, SC_SetFVF,
  SC_GetFVF, SC_CreateVertexShader, SC_SetVertexShader, SC_GetVertexShader, SC_SetVertexShaderConstantF,
  SC_GetVertexShaderConstantF, SC_SetVertexShaderConstantI, SC_GetVertexShaderConstantI,
  SC_SetVertexShaderConstantB, SC_GetVertexShaderConstantB, SC_SetStreamSource, SC_GetStreamSource,
  SC_SetStreamSourceFreq, SC_GetStreamSourceFreq, SC_SetIndices, SC_GetIndices, SC_CreatePixelShader,
  SC_SetPixelShader, SC_GetPixelShader, SC_SetPixelShaderConstantF, SC_GetPixelShaderConstantF,
  SC_SetPixelShaderConstantI, SC_GetPixelShaderConstantI, SC_SetPixelShaderConstantB,
  SC_GetPixelShaderConstantB, SC_DrawRectPatch, SC_DrawTriPatch, SC_DeletePatch, SC_CreateQuery,
  SC_COUNT
};

struct SoftHooks {
  // -- switches (all 0 = behave normally) --
  // Device loss: set lost = 1. TestCooperativeLevel then answers
  // D3DERR_DEVICELOST for the next lostPolls calls and D3DERR_DEVICENOTRESET
  // after that, until a Reset succeeds (which clears lost); Present answers
  // D3DERR_DEVICELOST and shows nothing while lost is set.
  int lost;
  int lostPolls;
  int failCreate;             // every IDirect3D9::CreateDevice fails
  int failCreateHw;           // every CreateDevice with D3DCREATE_HARDWARE_VERTEXPROCESSING fails
  int failCreateSw;           // every CreateDevice with D3DCREATE_SOFTWARE_VERTEXPROCESSING fails
  int failNextHwCreate;       // the next CreateDevice with hardware vertex processing fails, then clears
  int failFullscreenCreate;   // CreateDevice fails for full-screen present parameters (Windowed 0)
  int failFullscreenReset;    // Reset fails for full-screen present parameters
  int failReset;              // every Reset fails
  int failRtTexture;          // CreateTexture with D3DUSAGE_RENDERTARGET fails
  int failD24X8;              // CreateDepthStencilSurface with D3DFMT_D24X8 fails
  int failD16;                // CreateDepthStencilSurface with D3DFMT_D16 fails
  int failVertexBuffer;       // CreateVertexBuffer fails
  int failIndexBuffer;        // CreateIndexBuffer fails
  int failDisplayMode;        // GetAdapterDisplayMode fails
  HRESULT failCode;           // what the failures above return; 0 = a typical code for the call
  int modeW, modeH;           // what GetAdapterDisplayMode reports; 0 = 1024 x 768
  int portableRaster;         // never use the rasterizer built for AVX2 (both draw the same pixels)

  // -- counters since the last soft_hooks_reset_counters --
  int calls[SC_COUNT];   // IDirect3DDevice9 calls by method
  int deviceCalls;       // all IDirect3DDevice9 calls, the device's own AddRef and Release included
  int draws;             // DrawPrimitive, DrawIndexedPrimitive, DrawPrimitiveUP, DrawIndexedPrimitiveUP
  int triangles;         // triangles those draws asked for
  int createDevices;     // IDirect3D9::CreateDevice attempts, failed ones included
  DWORD createFlags[8];  // behaviour flags of the first eight attempts
  int createWindowed[8]; // and their Windowed field
};

extern SoftHooks g_softHooks;

void soft_hooks_reset();           // every switch and counter back to 0
void soft_hooks_reset_counters();  // counters only

// Live objects of the device (textures, surfaces, buffers, devices, Direct3D
// objects); 0 once everything has been released. Lets tests find leaks.
int soft_live_objects();
