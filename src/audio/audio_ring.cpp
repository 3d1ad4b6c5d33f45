// The request ring between the game thread (producer) and the audio thread
// (consumer). No locks: each side publishes its count with an atomic exchange
// after it has finished with the slot.
#include "audio/audio_internal.h"
#include "rt/sys.h"

int au_ring_post(AuRing* r, int32_t type, int32_t arg, float value) {
  uint32_t w = (uint32_t)r->cmd_write;  // only this thread writes it
  uint32_t rd = (uint32_t)sys_load(&r->cmd_read);
  if ((int32_t)(w - rd) > AU_RING - 1) return 0;
  AuCmd* c = &r->cmd[w % AU_RING];
  c->type = type;
  c->arg = arg;
  c->value = value;
  sys_xchg(&r->cmd_write, (int32_t)(w + 1));
  return 1;
}

int au_ring_drain(AuRing* r, AuApplyFn apply, void* ctx) {
  int n = 0;
  uint32_t rd = (uint32_t)r->cmd_read;  // only this thread writes it
  while (rd != (uint32_t)sys_load(&r->cmd_write)) {
    apply(ctx, &r->cmd[rd % AU_RING]);
    rd++;
    sys_xchg(&r->cmd_read, (int32_t)rd);  // the slot is free only once applied
    n++;
  }
  return n;
}

