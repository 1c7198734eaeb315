// The page's texts in Chinese (the default) and English.
export type Locale = 'zh' | 'en';

const texts = {
  title: { zh: '规则编写工作台', en: 'Rule workbench' },
  subtitle: {
    zh: '规则在本机浏览器中分析和运行，数据不会离开本机。',
    en: 'Rules are analysed and run in this browser; no data leaves this computer.',
  },
  switchLocale: { zh: 'English', en: '中文' },
  editor: { zh: '规则', en: 'Rule' },
  modeRule: { zh: '一条规则', en: 'One rule' },
  modeFile: { zh: '规则文件', en: 'Rules file' },
  analysed: { zh: '分析通过', en: 'Analysed' },
  analyseFailed: { zh: '分析错误', en: 'Analysis error' },
  warning: { zh: '警告', en: 'Warning' },
  variables: { zh: '变量', en: 'Variables' },
  noVariables: { zh: '规则中没有变量', en: 'The rule names no variables' },
  number: { zh: '数值', en: 'number' },
  text: { zh: '文本', en: 'text' },
  run: { zh: '运行', en: 'Run' },
  held: { zh: '成立', en: 'held' },
  failed: { zh: '不成立', en: 'failed' },
  error: { zh: '运行错误', en: 'run-time error' },
  explanation: { zh: '说明', en: 'Explanation' },
  failedClauses: { zh: '未满足的条件', en: 'Failed clauses' },
  fileCheck: { zh: '检查数据文件', en: 'Check a data file' },
  dropHint: { zh: '选择两个文件，或把它们一起拖到这里。', en: 'Choose both files, or drop them here together.' },
  rulesFile: { zh: '规则文件', en: 'Rules file' },
  dataFile: { zh: '数据文件 (CSV)', en: 'Data file (CSV)' },
  check: { zh: '检查', en: 'Check' },
  rule: { zh: '规则', en: 'Rule' },
  description: { zh: '描述', en: 'Description' },
  heldCount: { zh: '成立', en: 'Held' },
  failedCount: { zh: '不成立', en: 'Failed' },
  errorCount: { zh: '错误', en: 'Errors' },
  limit: { zh: '失败上限', en: 'Most failures allowed' },
  crossed: { zh: '已超过', en: 'crossed' },
  rows: { zh: '行', en: 'rows' },
  skipped: { zh: '格式不符而跳过的行', en: 'rows skipped as malformed' },
  attention: { zh: '需要处理的行', en: 'Rows needing attention' },
  download: { zh: '下载 CSV', en: 'Download CSV' },
  allRules: { zh: '全部规则', en: 'All rules' },
  row: { zh: '行号', en: 'Row' },
  key: { zh: '主键', en: 'Key' },
  result: { zh: '结果', en: 'Result' },
  common: { zh: '最常见的说明', en: 'Most common explanations' },
  previous: { zh: '上一页', en: 'Previous page' },
  next: { zh: '下一页', en: 'Next page' },
  encoding: { zh: '编码', en: 'Encoding' },
  milliseconds: { zh: '毫秒', en: 'ms' },
  loading: { zh: '正在加载…', en: 'Loading…' },
} as const;

export type TextId = keyof typeof texts;

let locale: Locale = 'zh';

export function setLocale(next: Locale): void {
  locale = next;
  document.documentElement.lang = next === 'zh' ? 'zh-CN' : 'en';
}

export function currentLocale(): Locale {
  return locale;
}

export function t(id: TextId): string {
  return texts[id][locale];
}
