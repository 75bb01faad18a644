// Keeps the whole page in the browser's cache after the first visit, so that it
// installs to the home screen and plays offline. The cache's name changes with
// every build (scripts/web writes it), and the old one is dropped.
const CACHE = 'zindle-@BUILD@';
const FILES = ['./', 'index.html', 'page.js', 'feed.js', 'zindle.js', 'zindle.wasm', 'zindle.data',
               'manifest.webmanifest', 'icons/zindle-128.png', 'icons/zindle-256.png',
               'icons/zindle-512.png'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET')
    return;
  // The page's own files come from the cache; anything else (a test's script) from the network.
  event.respondWith(caches.open(CACHE).then((cache) =>
    cache.match(event.request, { ignoreSearch: true }).then((hit) => hit || fetch(event.request))));
});
