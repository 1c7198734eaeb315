// The page is built against the WebAssembly module of a CMake build
// (RULECALC_WASM_DIR) into a folder that needs nothing but a static server.
import { defineConfig } from 'vite';
import { resolve } from 'node:path';

const wasmDir = process.env.RULECALC_WASM_DIR ?? resolve(__dirname, '../build-web/web');
const siteDir = process.env.RULECALC_SITE_DIR ?? resolve(wasmDir, 'site');

export default defineConfig({
  root: __dirname,
  base: './',
  resolve: { alias: { 'rulecalc-wasm': wasmDir } },
  build: { outDir: siteDir, emptyOutDir: true, target: 'es2020', assetsInlineLimit: 0 },
  server: { fs: { allow: [__dirname, wasmDir] } },
});
