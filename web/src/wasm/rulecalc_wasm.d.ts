// The module emscripten makes of the library: the handle functions, the
// batch engine's functions, malloc and free, views of the memory, and the
// in-memory file system the engine reads its data files from.
export interface RulecalcWasm {
  HEAPU8: Uint8Array;
  HEAP32: Int32Array;
  HEAPU32: Uint32Array;
  HEAPF64: Float64Array;
  FS: {
    analyzePath(path: string): { exists: boolean };
    mkdir(path: string): void;
    chdir(path: string): void;
    writeFile(path: string, data: Uint8Array): void;
    unlink(path: string): void;
  };
  [name: `_${string}`]: (...args: number[]) => number;
}

export default function createRulecalcModule(options?: {
  locateFile?: (path: string) => string;
}): Promise<RulecalcWasm>;
