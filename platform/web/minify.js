// Minifies one of the page's files for the build:
//   node minify.js [--whole] IN OUT
// A script goes through Debian's terser: names local to a function are
// shortened everywhere. --whole is for the game's .js, which is one script
// that no other reaches into except through Module: its top-level names
// are shortened too and what nothing uses is dropped. The page's own
// scripts call each other's top-level functions, which therefore keep
// their names. The page itself (.html) loses its stylesheet's comments and
// its lines' indentation; it has no preformatted text for that to change.
'use strict';
const fs = require('fs');
const terser = require('terser');

const args = process.argv.slice(2);
const whole = args[0] === '--whole';
const [input, output] = whole ? args.slice(1) : args;
if (!input || !output) {
  console.error('usage: node minify.js [--whole] IN OUT');
  process.exit(2);
}
if (input.endsWith('.html')) {
  const page = fs.readFileSync(input, 'utf8');
  fs.writeFileSync(output, page.replace(/\/\*[\s\S]*?\*\//g, '').replace(/\n\s+/g, '\n'));
  process.exit(0);
}
terser.minify(fs.readFileSync(input, 'utf8'), {
  toplevel: whole,
  compress: {passes: 2},
  mangle: {reserved: ['Module']},
}).then((result) => {
  fs.writeFileSync(output, result.code);
}).catch((error) => {
  console.error(input + ': ' + error.message);
  process.exit(1);
});
