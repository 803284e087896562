// Opens olsim's pages in headless Chromium and checks what a user sees: the
// add-in's bar with its buttons, states, faces and menus, the folder counts,
// the spam folder's items, markup shown as text, the message boxes, and no
// console errors. Prints the time the 6,000-message page takes to open.
//
//   node pages.mjs FOLDER CHROMIUM
import { createRequire } from 'node:module';
import { mkdtempSync, rmSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');

const [folder, executablePath] = process.argv.slice(2);
let passed = 0;
let failed = 0;

function check(holds, what, found) {
  if (holds) {
    passed++;
    console.log(`ok - ${what}`);
  } else {
    failed++;
    console.log(`FAILED - ${what}${found === undefined ? '' : `: found ${JSON.stringify(found)}`}`);
  }
}

// A page opened with its console and script errors collected.
async function open(context, name) {
  const page = await context.newPage();
  const errors = [];
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('dialog', (dialog) => {
    errors.push(`a dialog opened: ${dialog.message()}`);
    dialog.dismiss();
  });
  const started = performance.now();
  await page.goto(pathToFileURL(path.join(folder, name)).href, { waitUntil: 'load' });
  const openMs = performance.now() - started;
  return { page, errors, openMs };
}

const visibleCaptions = (page, selector) =>
  page.$$eval(selector, (controls) =>
    controls.filter((c) => c.offsetParent !== null).map((c) => c.dataset.caption));

async function outlookWithSpam(context) {
  const { page, errors } = await open(context, 'outlook_with_spam.html');
  const title = await page.title();
  check(title === 'Inbox - Microsoft Outlook (olsim)', 'the page is titled after the explorer', title);
  check(await page.locator('.explorer.active .titlebar').innerText() === 'Inbox - Microsoft Outlook',
    'the active explorer shows its caption');

  const bar = page.locator('.explorer.active .bar[data-bar="Brevint toolbar"]');
  check(await bar.isVisible(), 'the add-in\'s bar is on the screen');
  const order = await visibleCaptions(page, '.explorer.active .bar[data-bar="Brevint toolbar"] > .control');
  check(JSON.stringify(order) === JSON.stringify(['', 'Block', 'Unblock', 'Brevint', 'News from Brevint']),
    'the bar\'s buttons are in order', order);
  const block = bar.locator(':scope > .control[data-caption="Block"]');
  check(await block.getAttribute('data-enabled') === 'true' && await block.evaluate((e) => getComputedStyle(e).color) === 'rgb(0, 0, 0)',
    'Block is enabled and drawn so');
  const logo = bar.locator(':scope > .control[data-caption=""]');
  check(await logo.getAttribute('data-enabled') === 'false', 'the logo button is disabled');

  // The main menu opens under the pointer, its sub-menus beside it.
  const menu = bar.locator(':scope > .control[data-caption="Brevint"]');
  const options = menu.locator('.menu .control[data-caption="Options"]');
  check(!(await options.isVisible()), 'the menu is closed before the pointer comes');
  await menu.hover();
  check(await options.isVisible(), 'the menu opens under the pointer and shows Options');
  const items = await visibleCaptions(page, '.explorer.active .bar[data-bar="Brevint toolbar"] > .control[data-caption="Brevint"] > .menu > .control');
  check(JSON.stringify(items) === JSON.stringify(['Blacklist', 'Whitelist', 'Recheck folder', 'Empty spam folder', 'Tell a friend', 'Options']),
    'the menu holds its commands in order', items);
  const face = await options.locator('img').evaluate((img) => ({ src: img.src.slice(0, 22), width: img.naturalWidth }));
  check(face.src === 'data:image/bmp;base64,' && face.width === 16, 'Options shows its installed face, inlined', face);
  await menu.locator('.control[data-caption="Blacklist"]').hover();
  check(await menu.locator('.control[data-caption="Blacklist sender\'s address"]').isVisible(),
    'the Blacklist sub-menu opens beside it');
  const images = await page.$$eval('img', (all) => all.map((img) => ({ data: img.src.startsWith('data:'), decoded: img.naturalWidth > 0 })));
  check(images.length > 0 && images.every((i) => i.data && i.decoded), 'every image is inline and decodes', images.length);

  // The folder pane: counts as Outlook shows them.
  const inbox = page.locator('.explorer.active .folder[data-path="Personal Folders/Inbox"]');
  check(await inbox.getAttribute('data-count') === '2' && (await inbox.innerText()).trim() === 'Inbox (1)',
    'the Inbox holds two mails, one unread', await inbox.innerText());
  check(await inbox.evaluate((e) => e.classList.contains('selected')), 'the Inbox is the folder shown');
  const spam = page.locator('.explorer.active .folder[data-path="Personal Folders/Brevint"]');
  check(await spam.getAttribute('data-count') === '2', 'the spam folder holds two mails');
  const hidden = await page.$$eval('.folder', (all) => all.filter((f) => f.dataset.hidden !== '0')
    .map((f) => f.innerText.includes(`[${f.dataset.hidden} hidden]`)));
  check(hidden.every(Boolean), 'each hidden count is shown', hidden);
  let status = await page.locator('.explorer.active .statusbar').innerText();
  check(status === '2 Items, 1 Unread', 'the status bar counts the Inbox', status);

  // The spam folder's items, once the user clicks it.
  await spam.click();
  const spamList = page.locator('.itemlist[data-path="Personal Folders/Brevint"]');
  check(await spamList.isVisible(), 'a click shows the spam folder\'s items');
  const subjects = await spamList.locator('td.subject').allInnerTexts();
  check(subjects.length === 2 && subjects.includes('Free casino bonus: claim 500 free spins now') && subjects.includes('Cheap pills, act now'),
    'the spam folder lists the two spams', subjects);
  const arrived = await spamList.locator('td.moved').allInnerTexts();
  check(arrived.length === 2 && arrived.every((a) => a === 'Personal Folders/Inbox'),
    'each says it arrived in the Inbox', arrived);
  status = await page.locator('.explorer.active .statusbar').innerText();
  check(status.startsWith('2 Items'), 'the status bar follows the folder', status);

  // Markup in a subject and a sender's name is text, and runs nothing.
  await page.locator('.folder[data-path="Personal Folders/Markup"]').click();
  const row = page.locator('.itemlist[data-path="Personal Folders/Markup"] tr.item');
  const subject = await row.locator('td.subject').innerText();
  check(subject === '<script>document.title=\'owned\'</script> & "quoted"', 'a subject of markup shows as text', subject);
  const sender = await row.locator('td').nth(1).innerText();
  check(sender.includes('<img src=x onerror=alert(1)>'), 'a sender\'s name of markup shows as text', sender);
  check(await page.title() === title, 'the subject\'s script did not run');

  const levels = await page.$$eval('.logline', (lines) => lines.map((l) => Number(l.dataset.depth)));
  check(levels.length > 0 && levels.some((d) => d > 0), 'the log\'s last lines are nested by Enter and Exit', levels.length);
  check(errors.length === 0, 'no console errors', errors);
  await page.close();
}

async function installationCheck(context) {
  const { page, errors } = await open(context, 'installation_check.html');
  const box = page.locator('.messagebox');
  check(await box.count() === 1, 'the one message box is drawn', await box.count());
  check(await box.locator('.titlebar').innerText() === 'Brevint', 'the box has its caption');
  check((await box.locator('.message-text').innerText()).startsWith('Brevint isn\'t installed correctly.'),
    'the box shows its text');
  check(await box.locator('button.pressed').innerText() === 'OK', 'its OK was the answer');
  const run = await page.locator('.run').innerText();
  check(run === 'Outlook 11.0.0.8312, not running', 'the page says Outlook has quit', run);
  check(errors.length === 0, 'no console errors', errors);
  await page.close();
}

async function bigStore(context) {
  const { page, errors, openMs } = await open(context, 'big_store.html');
  console.log(`the page of a 6,000-message store opened in ${openMs.toFixed(0)} ms`);
  const rows = await page.locator('.itemlist[data-path="Personal Folders/Inbox"] tr.item').count();
  check(rows === 6000, 'the Inbox lists 6,000 mails', rows);
  const status = await page.locator('.statusbar').innerText();
  check(status === '6000 Items, 6000 Unread', 'the status bar counts them', status);
  check(errors.length === 0, 'no console errors', errors);
  await page.close();
}

async function demoReport(context) {
  const { page, errors } = await open(context, 'report.html');
  const charts = page.locator('svg.chart');
  check(await charts.count() === 4, 'the report draws four plots', await charts.count());
  for (let i = 0; i < await charts.count(); i++) {
    const chart = charts.nth(i);
    const name = await chart.locator('.chart-title').textContent();
    const axes = await chart.evaluate((svg) => ['x', 'y'].map((a) => {
      const axis = svg.querySelector(`.axis.${a}`);
      const line = axis?.querySelector('line')?.getBoundingClientRect();
      return { length: line ? Math.max(line.width, line.height) : 0, ticks: axis?.querySelectorAll('.tick').length ?? 0,
        label: axis?.querySelector('.label')?.textContent ?? '' };
    }));
    check(axes.every((a) => a.length > 100 && a.ticks >= 2) && axes[1].label !== '',
      `"${name}" has both axes with ticks and labels`, axes);
  }
  const histogram = charts.nth(0);
  const bars = await histogram.evaluate((svg) => ['good', 'spam'].map((kind) =>
    [...svg.querySelectorAll(`.series.${kind} rect`)].reduce((sum, r) => sum + Number(r.querySelector('title').textContent.split(': ')[1]), 0)));
  check(bars[0] === 3 && bars[1] === 2, 'the histograms count the three good and two spam that arrived', bars);
  const threshold = await histogram.locator('.marker.threshold text').textContent();
  check(threshold === 'threshold 77', 'the threshold line is drawn and named', threshold);
  const lines = await charts.nth(1).locator('polyline.series').count();
  check(lines === 2, 'false positives and negatives are two lines', lines);
  const latency = await charts.nth(2).locator('path.series.latency').getAttribute('d');
  check((latency.match(/M/g) ?? []).length === 5, 'each arrival\'s time is a point', latency);
  const folders = await page.locator('table.folders td:first-child').allInnerTexts();
  check(folders.includes('Personal Folders/Inbox'), 'the folders at the end are listed', folders);
  check((await page.locator('pre.figures').innerText()).includes('What happened to the 5 messages'),
    'the demo\'s table is there');
  check(errors.length === 0, 'no console errors', errors);
  await page.close();
}

const userData = mkdtempSync(path.join(tmpdir(), 'olsim-chromium-'));
let context;
try {
  // This machine's network is closed: without these flags Chromium waits on
  // connections it tries by itself.
  context = await chromium.launchPersistentContext(userData, {
    executablePath,
    headless: true,
    timeout: 60000,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  context.setDefaultTimeout(20000);
  await outlookWithSpam(context);
  await installationCheck(context);
  await bigStore(context);
  await demoReport(context);
} catch (error) {
  failed++;
  console.log(`FAILED - the browser run stopped: ${error.stack ?? error}`);
} finally {
  if (context) await context.close();
  rmSync(userData, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
