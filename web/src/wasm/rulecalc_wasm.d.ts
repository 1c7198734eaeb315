// The module emscripten makes of the library: the handle functions, malloc
// and free, and views of the memory.
export interface RulecalcWasm {
  HEAPU8: Uint8Array;
  HEAP32: Int32Array;
  HEAPU32: Uint32Array;
  HEAPF64: Float64Array;
  [name: `_${string}`]: (...args: number[]) => number;
}

export default function createRulecalcModule(options?: {
  locateFile?: (path: string) => string;
}): Promise<RulecalcWasm>;
