// worker_threads.h: the engine's worker threads, the processor count, and the
// reference that keeps this module loaded while the workers run.
#pragma once

namespace brovane::net {

struct WorkerPool;

unsigned processorCount();

// count threads running routine; null when none could be made.
WorkerPool* startWorkerPool(unsigned count, void (*routine)());
// How a pool's stop ended: every worker in time, the rest terminated
// (Windows), or some left running (elsewhere; they end once they take their
// stop key, so their port must stay).
enum class PoolEnd { ended, forced, leftRunning };
// Waits up to timeoutMs for every worker to end, then forces the rest.
// Called on one of the pool's own workers (a fatal box raised there), it
// never waits for that one, and on Windows for none.
PoolEnd stopWorkerPool(WorkerPool* pool, unsigned timeoutMs);

void pinModule();    // the module stays loaded even when the host frees it
void unpinModule();  // gives that reference back

}  // namespace brovane::net
